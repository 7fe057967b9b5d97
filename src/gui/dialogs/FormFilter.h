#pragma once
#include <QDialog>

struct AppContext;

// 
class TFormFilter : public QDialog {
  Q_OBJECT
public:
  explicit TFormFilter(AppContext &ctx, QWidget *parent = nullptr);

private:
  AppContext &ctx_;
};
