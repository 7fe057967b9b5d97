// Merging another database file into the program's own.
#include "common/AppContext.h"
#include "common/FileDialogs.h"
#include "db/TDM.h"
#include "lang/FileDialogFilter.h"
#include "main/MainForm.h"

void TMainForm::AImportExecute() {
  // Files of this program and of its earlier Access-based installations.
  const QString filter = QtFileDialogFilter(OD_ExternalDataBaseFilter) + ";;VX4418M (*.db);;" +
                         QStringLiteral("* (*)");
  const QString path = ctx_.files.openFile(this, OD_ExternalDataBaseTitle, QString(), filter);
  if (path.isEmpty())
    return;
  if (ctx_.DM->ImportExternalDatabase("Data Source=" + path + ";Mode=ReadWrite|Share Deny None;"))
    ASelectUserExecute();
}
