#include "dialogs/FormPrintHistory.h"

#include "app/AppContext.h"

TFormPrintHistory::TFormPrintHistory(AppContext &ctx, QWidget *parent)
    : QDialog(parent), ctx_(ctx) {
  setObjectName("FormPrintHistory");
}

bool TFormPrintHistory::ShowReport(const QString &) { return false; }
