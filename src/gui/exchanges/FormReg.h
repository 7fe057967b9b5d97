#pragma once
#include <QDialog>

struct AppContext;

// 
class TFormReg : public QDialog {
  Q_OBJECT
public:
  explicit TFormReg(AppContext &ctx, QWidget *parent = nullptr);

private:
  AppContext &ctx_;
};
