#include "exchanges/FormReg.h"

#include "app/AppContext.h"

TFormReg::TFormReg(AppContext &ctx, QWidget *parent) : QDialog(parent), ctx_(ctx) {
  setObjectName("FormReg");
}
