// Saving the selected rows of the list on show as text, and copying them to
// the clipboard.
#include "common/AppContext.h"
#include "common/FileDialogs.h"
#include "common/OperatorMessages.h"
#include "export/GridExport.h"
#include "export/SaveWhole.h"
#include "export/TextExport.h"
#include "lang/FileDialogFilter.h"
#include "main/MainForm.h"
#include "main/StringGrid.h"

StringGrid *TMainForm::TargetGrid() const {
  return HistoryShown() ? SG_History : SG_User;
}

void TMainForm::ASaveToAsciiExecute() {
  StringGrid *grid = TargetGrid();
  const auto [top, bottom] = grid->SelectedRange();
  if (top == 0) // nothing selected: nothing to save
    return;
  const TextTable &t = ctx_.state.Texts;
  const QString path =
      ctx_.files.saveFile(this, t.at(97), QString(), QtFileDialogFilter(t.at(98)), "txt");
  if (path.isEmpty())
    return;
  QString error;
  if (!SaveTextFile(path, TextFileText(GridTextOf(grid->cells()), top, bottom), &error))
    // The file stays as it was.
    ctx_.messages.error(this, FileProblemText(t.at(97), path, error));
}

void TMainForm::ACopyToClipboardExecute() {
  StringGrid *grid = TargetGrid();
  const auto [top, bottom] = grid->SelectedRange();
  if (top == 0)
    return;
  CopyTextToClipboard(ClipboardText(GridTextOf(grid->cells()), top, bottom));
}
