#include "dialogs/FormPrintUser.h"

#include "app/AppContext.h"

TFormPrintUser::TFormPrintUser(AppContext &ctx, QWidget *parent) : QDialog(parent), ctx_(ctx) {
  setObjectName("FormPrintUser");
}

bool TFormPrintUser::ShowReport() { return false; }
