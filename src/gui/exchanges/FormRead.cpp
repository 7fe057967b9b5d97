#include "exchanges/FormRead.h"

#include "app/AppContext.h"

TFormRead::TFormRead(AppContext &ctx, QWidget *parent) : QDialog(parent), ctx_(ctx) {
  setObjectName("FormRead");
}
