#pragma once
#include <QString>
#include <functional>

// The cells of a list as they are shown (the text of column c in row r, rows
// in the grid's own counting), for the commands that pass selected rows on as
// text.
struct GridText {
  int ColumnCount = 0;
  std::function<QString(int column, int row)> Cell;
};

// The text without leading and trailing characters of codes 0 to 32.
QString TrimControls(const QString &text);

// A row is filled when its column 0 is not empty after trimming.
bool RowFilled(const GridText &grid, int row);

// The bottom row for "Select all": firstRow is always taken, even when it is
// empty, and each following row while it is filled. Rows at or after
// rowCount do not exist.
int SelectAllBottom(const GridText &grid, int firstRow, int rowCount);

// Text file: one line per filled row from top to bottom, each cell followed
// by two tabs (the last one too), lines ended by CR LF; empty rows give no line.
QString TextFileText(const GridText &grid, int top, int bottom);

// Clipboard text: one line per row from top to bottom, each ended by LF; an
// empty row gives an empty line. In a filled row the last cell ends the line,
// an empty cell gives two tabs, a cell of 12 or more characters is followed
// by one tab and a shorter one by two.
QString ClipboardText(const GridText &grid, int top, int bottom);

// Writes text to the file in UTF-8, replacing it whole or not at all (see
// SaveWhole). False with the system's message in *error when it cannot.
bool SaveTextFile(const QString &path, const QString &text, QString *error = nullptr);
