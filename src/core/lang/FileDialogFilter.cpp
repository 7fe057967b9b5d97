#include "lang/FileDialogFilter.h"

#include <QStringList>

QString QtFileDialogFilter(const QString &filter) {
  if (filter.isEmpty())
    return {};
  const QStringList parts = filter.split(u'|');
  QStringList filters;
  for (qsizetype i = 0; i < parts.size(); i += 2) {
    QString patterns = i + 1 < parts.size() ? parts.at(i + 1).trimmed() : QString();
    if (patterns.size() >= 2 && patterns.startsWith(u'(') && patterns.endsWith(u')'))
      patterns = patterns.sliced(1, patterns.size() - 2).trimmed();
    QStringList list = patterns.split(u';', Qt::SkipEmptyParts);
    for (QString &p : list)
      p = p.trimmed();
    list.removeAll(QString());
    if (list.isEmpty())
      list.append(QStringLiteral("*"));
    filters.append(parts.at(i).trimmed() + QStringLiteral(" (") + list.join(u' ') + u')');
  }
  return filters.join(QStringLiteral(";;"));
}
