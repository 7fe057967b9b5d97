#include "export/OfficeExport.h"

#include <QBuffer>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentWriter>
#include <QTextTable>
#include <algorithm>
#include <vector>
#include <xlsxwriter.h>

#include "export/SaveWhole.h"

namespace {
bool Fail(QString *error, const QString &message) {
  if (error)
    *error = message;
  return false;
}

// What a cell of a selected row passes on: its text, or nothing for an empty
// row or a cell that is empty after trimming.
QString ExportedCell(const GridText &grid, bool filled, int column, int row) {
  if (!filled)
    return {};
  const QString cell = grid.Cell(column, row);
  return TrimControls(cell).isEmpty() ? QString() : cell;
}

} // namespace

bool WriteOdtTable(const QString &path, const GridText &grid, int top, int bottom, QString *error) {
  const int rows = bottom - top + 1;
  if (rows < 1 || grid.ColumnCount < 1)
    return Fail(error, QStringLiteral("Nothing is selected."));
  QTextDocument document;
  QTextCursor cursor(&document);
  QTextTable *table = cursor.insertTable(rows, grid.ColumnCount);
  for (int k = 0; k < rows; ++k) {
    const bool filled = RowFilled(grid, top + k);
    for (int column = 0; column < grid.ColumnCount; ++column) {
      const QString text = ExportedCell(grid, filled, column, top + k);
      if (!text.isEmpty())
        table->cellAt(k, column).firstCursorPosition().insertText(text);
    }
  }
  // The writer closes its device when done, so the document is built in
  // memory and then saved whole.
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QTextDocumentWriter writer(&buffer, QByteArrayLiteral("ODF"));
  if (!writer.write(&document))
    return Fail(error, QStringLiteral("The document could not be written."));
  return SaveWhole(path, buffer.data(), error);
}

bool WriteXlsxCells(const QString &path, const GridText &grid, int top, int bottom,
                    QString *error) {
  const int rows = bottom - top + 1;
  if (rows < 1 || grid.ColumnCount < 1)
    return Fail(error, QStringLiteral("Nothing is selected."));
  if (grid.ColumnCount > 26)
    return Fail(error, QStringLiteral("Too many columns."));
  // The library writes a file of its own; it is built in a private folder and
  // then saved whole under the wanted name.
  QTemporaryDir work;
  if (!work.isValid())
    return Fail(error, work.errorString());
  const QString draft = work.filePath(QStringLiteral("book.xlsx"));
  const QByteArray draftName = QFile::encodeName(draft);
  lxw_workbook *book = workbook_new(draftName.constData());
  if (!book)
    return Fail(error, QStringLiteral("The workbook could not be created."));
  lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
  std::vector<int> widths(std::size_t(grid.ColumnCount), 0);
  lxw_error status = sheet ? LXW_NO_ERROR : LXW_ERROR_MEMORY_MALLOC_FAILED;
  for (int k = 0; k < rows && status == LXW_NO_ERROR; ++k) {
    if (!RowFilled(grid, top + k))
      continue;
    for (int column = 0; column < grid.ColumnCount && status == LXW_NO_ERROR; ++column) {
      const QString text = ExportedCell(grid, true, column, top + k);
      if (text.isEmpty())
        continue; // an empty text leaves the cell blank
      status = worksheet_write_string(sheet, lxw_row_t(k), lxw_col_t(column),
                                      text.toUtf8().constData(), nullptr);
      widths[std::size_t(column)] = std::max(widths[std::size_t(column)], int(text.size()));
    }
  }
  for (int column = 0; column < grid.ColumnCount && status == LXW_NO_ERROR; ++column)
    if (widths[std::size_t(column)] > 0)
      status = worksheet_set_column(sheet, lxw_col_t(column), lxw_col_t(column),
                                    widths[std::size_t(column)] + 1.0, nullptr);
  const lxw_error closed = workbook_close(book);
  if (status == LXW_NO_ERROR)
    status = closed;
  if (status != LXW_NO_ERROR)
    return Fail(error, QString::fromUtf8(lxw_strerror(status)));
  QFile built(draft);
  if (!built.open(QIODevice::ReadOnly))
    return Fail(error, built.errorString());
  const QByteArray bytes = built.readAll();
  if (built.error() != QFile::NoError)
    return Fail(error, built.errorString());
  return SaveWhole(path, bytes, error);
}

OfficeExport::OfficeExport(Opener opener) : opener_(std::move(opener)) {
  if (!opener_)
    opener_ = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
}

bool OfficeExport::Export(const GridText &grid, int top, int bottom, QString *error) {
  if (!folder_.isValid())
    return Fail(error, folder_.errorString());
  const QString base = QDir(folder_.path()).filePath(QStringLiteral("List-%1").arg(++count_));
  odtPath_ = base + QStringLiteral(".odt");
  xlsxPath_ = base + QStringLiteral(".xlsx");
  if (!WriteOdtTable(odtPath_, grid, top, bottom, error))
    return false;
  if (!opener_(QUrl::fromLocalFile(odtPath_)))
    return Fail(error, QStringLiteral("No application could open %1.").arg(odtPath_));
  if (!WriteXlsxCells(xlsxPath_, grid, top, bottom, error))
    return false;
  if (!opener_(QUrl::fromLocalFile(xlsxPath_)))
    return Fail(error, QStringLiteral("No application could open %1.").arg(xlsxPath_));
  return true;
}
