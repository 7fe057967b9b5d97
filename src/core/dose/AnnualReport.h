#pragma once
#include <QList>
#include <QStringList>

#include "dose/DoseTable.h"

class TextTable;

// The annual report's table: every person's year and five-year dose against
// the limits. Printed, doses are shown in the unit of the settings; in a file
// (workbook, CSV) they are numbers in sievert, with the unit in the title.
enum class ReportValues { Shown, Sievert };

struct AnnualReportTable {
  QStringList titles;
  QList<QStringList> rows; // one per person, in the order of the table
};

AnnualReportTable AnnualReportOf(const QList<PersonDose> &doses, const DoseLimits &limits,
                                 const TextTable &texts, bool roentgen, ReportValues values);

// A dose in sievert as files carry it: at least 9 significant digits.
QString SievertNumber(double dose);
