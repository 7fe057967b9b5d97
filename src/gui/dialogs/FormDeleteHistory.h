#pragma once
#include <QDialog>

struct AppContext;

// 
class TFormDeleteHistory : public QDialog {
  Q_OBJECT
public:
  explicit TFormDeleteHistory(AppContext &ctx, QWidget *parent = nullptr);

private:
  AppContext &ctx_;
};
