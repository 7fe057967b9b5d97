#pragma once
#include <QDialog>

struct AppContext;

// 
class TFormParams : public QDialog {
  Q_OBJECT
public:
  explicit TFormParams(AppContext &ctx, QWidget *parent = nullptr);

private:
  AppContext &ctx_;
};
