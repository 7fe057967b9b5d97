// The commands that work with an instrument in infrared range or with the
// register of who holds which instrument.
#include "app/MainForm.h"

void TMainForm::AReadHistoryExecute() {}

void TMainForm::ARegistrationExecute() {}

void TMainForm::ACancelRegExecute() {}

void TMainForm::AClearHistoryExecute() {}

void TMainForm::AClearDEExecute() {}

void TMainForm::ADeviceExecute() {}

void TMainForm::StatusBar1DblClick() {}
