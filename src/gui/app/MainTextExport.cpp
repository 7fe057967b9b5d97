// Saving the selected rows of the list on show as text, and copying them to
// the clipboard.
#include "app/MainForm.h"

void TMainForm::ASaveToAsciiExecute() {}

void TMainForm::ACopyToClipboardExecute() {}
