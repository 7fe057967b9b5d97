#pragma once
#include <QObject>

class QWidget;

// Keeps the windows it watches at least as wide as their title needs, so that
// the window manager does not cut a title short ("Добавление поль… теля"),
// in whichever language the title is set. Windows only grow for it.
class WholeTitles : public QObject {
  Q_OBJECT
public:
  explicit WholeTitles(QObject *parent = nullptr) : QObject(parent) {}
  void watch(QWidget *window);

  // The width a title bar needs for this title: the text in a bold title
  // font, the window's icon and the buttons of the frame.
  static int TitleWidth(const QWidget *window);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  static void Fit(QWidget *window);
};
