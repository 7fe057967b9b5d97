#pragma once
#include <QString>

// A file-dialog filter as the text table keeps it, "description|pattern" (pairs
// may repeat, each part separated by "|"), as a Qt name filter list: each pair
// becomes "description (patterns)" and the pairs are joined by ";;". Several
// patterns of one pair, separated by ";", become blank-separated. A pattern
// written in parentheses is taken without them, so "MS-Access files|(*.mdb)"
// offers the .mdb files. A description without a pattern offers every file.
QString QtFileDialogFilter(const QString &filter);
