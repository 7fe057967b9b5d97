#pragma once
#include <QDialog>

struct AppContext;

// 
class TFormViewHist : public QDialog {
  Q_OBJECT
public:
  explicit TFormViewHist(AppContext &ctx, QWidget *parent = nullptr);

private:
  AppContext &ctx_;
};
