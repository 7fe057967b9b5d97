// Merging another database file into the program's own.
#include "app/MainForm.h"

void TMainForm::AImportExecute() {}
