#include "export/Csv.h"

QString CsvField(const QString &text) {
  if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
      !text.contains(u'\r'))
    return text;
  QString quoted = text;
  quoted.replace(u'"', QStringLiteral("\"\""));
  return u'"' + quoted + u'"';
}

QString CsvText(const QList<QStringList> &rows) {
  QString out;
  for (const QStringList &row : rows) {
    for (qsizetype i = 0; i < row.size(); ++i)
      out += (i ? QStringLiteral(",") : QString()) + CsvField(row[i]);
    out += u'\n';
  }
  return out;
}
