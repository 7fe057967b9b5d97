#pragma once
#include <QDialog>

struct AppContext;

// 
class TFormRead : public QDialog {
  Q_OBJECT
public:
  explicit TFormRead(AppContext &ctx, QWidget *parent = nullptr);

private:
  AppContext &ctx_;
};
