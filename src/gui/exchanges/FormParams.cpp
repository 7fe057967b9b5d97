#include "exchanges/FormParams.h"

#include "app/AppContext.h"

TFormParams::TFormParams(AppContext &ctx, QWidget *parent) : QDialog(parent), ctx_(ctx) {
  setObjectName("FormParams");
}
