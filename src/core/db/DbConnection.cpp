#include "db/DbConnection.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

QString DataSourceOf(const QString &connectionString) {
  static const QRegularExpression key(QStringLiteral(R"((?:^|;)\s*Data\s+Source\s*=)"),
                                      QRegularExpression::CaseInsensitiveOption);
  // The start of the next "Key=" after a separator.
  static const QRegularExpression nextKey(QStringLiteral(R"(;\s*(?:[A-Za-z][A-Za-z0-9 ]*=|$))"));
  const auto m = key.match(connectionString);
  if (!m.hasMatch())
    return {};
  qsizetype start = m.capturedEnd();
  while (start < connectionString.size() && connectionString[start].isSpace())
    ++start;
  if (start < connectionString.size() &&
      (connectionString[start] == u'"' || connectionString[start] == u'\'')) {
    const QChar quote = connectionString[start];
    const auto end = connectionString.indexOf(quote, start + 1);
    if (end < 0)
      return {};
    return connectionString.mid(start + 1, end - start - 1);
  }
  const auto end = connectionString.indexOf(nextKey, start);
  return connectionString.mid(start, end < 0 ? -1 : end - start).trimmed();
}

bool OpenDatabaseFile(QSqlDatabase &db, const QString &path) {
  db.close();
  const QFileInfo info(path);
  if (path.isEmpty() || !info.isFile())
    return false;
  // "mode=rw" makes SQLite refuse to create a missing file.
  QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
  url.setQuery(QStringLiteral("mode=rw"));
  db.setDatabaseName(QString::fromLatin1(url.toEncoded()));
  db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
  return db.open();
}
