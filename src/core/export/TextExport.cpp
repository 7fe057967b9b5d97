#include "export/TextExport.h"

#include "export/SaveWhole.h"

QString TrimControls(const QString &text) {
  qsizetype begin = 0, end = text.size();
  while (begin < end && text[begin].unicode() <= 32)
    ++begin;
  while (end > begin && text[end - 1].unicode() <= 32)
    --end;
  return text.mid(begin, end - begin);
}

bool RowFilled(const GridText &grid, int row) {
  return !TrimControls(grid.Cell(0, row)).isEmpty();
}

int SelectAllBottom(const GridText &grid, int firstRow, int rowCount) {
  int bottom = firstRow;
  for (int row = firstRow + 1; row < rowCount && RowFilled(grid, row); ++row)
    bottom = row;
  return bottom;
}

QString TextFileText(const GridText &grid, int top, int bottom) {
  QString text;
  for (int row = top; row <= bottom; ++row) {
    if (!RowFilled(grid, row))
      continue;
    for (int column = 0; column < grid.ColumnCount; ++column)
      text += grid.Cell(column, row) + QStringLiteral("\t\t");
    text += QStringLiteral("\r\n");
  }
  return text;
}

QString ClipboardText(const GridText &grid, int top, int bottom) {
  QString text;
  for (int row = top; row <= bottom; ++row) {
    if (RowFilled(grid, row)) {
      for (int column = 0; column < grid.ColumnCount; ++column) {
        const QString cell = grid.Cell(column, row);
        if (column == grid.ColumnCount - 1)
          text += cell;
        else if (TrimControls(cell).isEmpty())
          text += QStringLiteral("\t\t");
        else
          text += cell + (cell.size() >= 12 ? QStringLiteral("\t") : QStringLiteral("\t\t"));
      }
    }
    text += u'\n';
  }
  return text;
}

bool SaveTextFile(const QString &path, const QString &text, QString *error) {
  return SaveWhole(path, text.toUtf8(), error);
}
