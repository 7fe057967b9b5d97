#pragma once
#include <QDialog>

struct AppContext;
class QLabel;

// Deletes a person's stored history, whole or in part.
class TFormDeleteHistory : public QDialog {
  Q_OBJECT
public:
  explicit TFormDeleteHistory(AppContext &ctx, QWidget *parent = nullptr);

  // Set by the caller before showing the window.
  int UserKey = -1;
  QLabel *L_SecFirstName = nullptr; // second name, a blank, first name
  QLabel *LMiddleName = nullptr;

private:
  AppContext &ctx_;
};
