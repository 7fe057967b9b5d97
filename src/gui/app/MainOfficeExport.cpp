// Sending the selected rows of the list on show to a word processor and a
// spreadsheet.
#include "app/MainForm.h"

void TMainForm::AConvertToWordExecute() {}
