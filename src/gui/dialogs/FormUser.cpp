#include "dialogs/FormUser.h"

#include "app/AppContext.h"

TFormUser::TFormUser(AppContext &ctx, QWidget *parent) : QDialog(parent), ctx_(ctx) {
  setObjectName("FormUser");
}

void TFormUser::ApplyTexts(int) {}
