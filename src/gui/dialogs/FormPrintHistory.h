#pragma once
#include <QDialog>

struct AppContext;

// 
class TFormPrintHistory : public QDialog {
  Q_OBJECT
public:
  explicit TFormPrintHistory(AppContext &ctx, QWidget *parent = nullptr);

private:
  AppContext &ctx_;
};
