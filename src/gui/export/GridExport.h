#pragma once
#include <QString>

#include "export/TextExport.h"

class StringGrid;
class StringGridModel;

// The cells of a string grid as the text commands read them (row 0 is the
// title row, data rows from 1).
GridText GridTextOf(const StringGridModel &cells);

// Selects the first data row and every filled row that follows it without a
// gap; the first data row is selected even when it is empty.
void SelectAllFilledRows(StringGrid &grid);

// Puts the text on the system clipboard as Unicode text.
void CopyTextToClipboard(const QString &text);
