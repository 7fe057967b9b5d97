// Sending the selected rows of the list on show to a word processor and a
// spreadsheet, as an OpenDocument text and an .xlsx workbook opened in the
// desktop's default applications.
#include "common/AppContext.h"
#include "common/OperatorMessages.h"
#include "export/GridExport.h"
#include "export/OfficeExport.h"
#include "main/MainForm.h"
#include "main/StringGrid.h"

void TMainForm::AConvertToWordExecute() {
  StringGrid *grid = TargetGrid();
  const auto [top, bottom] = grid->SelectedRange();
  if (top == 0)
    return;
  if (!officeExport_)
    officeExport_ = std::make_unique<OfficeExport>();
  QString error;
  if (!officeExport_->Export(GridTextOf(grid->cells()), top, bottom, &error))
    ctx_.messages.error(this, error);
}
