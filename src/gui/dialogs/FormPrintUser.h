#pragma once
#include <QDialog>

struct AppContext;

// 
class TFormPrintUser : public QDialog {
  Q_OBJECT
public:
  explicit TFormPrintUser(AppContext &ctx, QWidget *parent = nullptr);

private:
  AppContext &ctx_;
};
