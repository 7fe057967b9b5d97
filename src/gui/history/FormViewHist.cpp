#include "history/FormViewHist.h"

#include "app/AppContext.h"

TFormViewHist::TFormViewHist(AppContext &ctx, QWidget *parent) : QDialog(parent), ctx_(ctx) {
  setObjectName("FormViewHist");
}
