#include "dialogs/FormFilter.h"

#include "app/AppContext.h"

TFormFilter::TFormFilter(AppContext &ctx, QWidget *parent) : QDialog(parent), ctx_(ctx) {
  setObjectName("FormFilter");
}
