#include "export/GridExport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>

#include "main/StringGrid.h"

GridText GridTextOf(const StringGridModel &cells) {
  return GridText{cells.columnCount(),
                  [&cells](int column, int row) { return cells.Cell(column, row); }};
}

void SelectAllFilledRows(StringGrid &grid) {
  const StringGridModel &cells = grid.cells();
  if (cells.rowCount() == 0)
    return;
  const int bottom = SelectAllBottom(GridTextOf(cells), 1, cells.RowCount());
  const QItemSelection rows(cells.index(0, 0), cells.index(bottom - 1, cells.columnCount() - 1));
  grid.selectionModel()->select(rows,
                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void CopyTextToClipboard(const QString &text) {
  if (QClipboard *clipboard = QGuiApplication::clipboard())
    clipboard->setText(text);
}
