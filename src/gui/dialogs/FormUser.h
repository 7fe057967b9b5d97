#pragma once
#include <QDialog>

struct AppContext;

// 
class TFormUser : public QDialog {
  Q_OBJECT
public:
  explicit TFormUser(AppContext &ctx, QWidget *parent = nullptr);

private:
  AppContext &ctx_;
};
