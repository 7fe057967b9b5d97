#include "dialogs/FormDeleteHistory.h"

#include "app/AppContext.h"

TFormDeleteHistory::TFormDeleteHistory(AppContext &ctx, QWidget *parent) : QDialog(parent), ctx_(ctx) {
  setObjectName("FormDeleteHistory");
}
