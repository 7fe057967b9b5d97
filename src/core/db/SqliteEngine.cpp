#include "db/SqliteEngine.h"

#include <QSqlError>
#include <QSqlQuery>

#include "db/DbConnection.h"

bool SqliteEngine::Open(QSqlDatabase &db, const QString &location, QString &error) {
  if (!OpenDatabaseFile(db, location)) {
    error = db.lastError().isValid() ? db.lastError().text()
                                     : QStringLiteral("cannot open the database file");
    return false;
  }
  opened_ = CurrentDbFileState(location);
  return true;
}

bool SqliteEngine::StillUsable(const QSqlDatabase &, const QString &location) const {
  return CurrentDbFileState(location) == opened_;
}

std::optional<int> SqliteEngine::ReadVersion(QSqlDatabase &db, QString &error) const {
  QSqlQuery q(db);
  if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
    error = q.lastError().text();
    return std::nullopt;
  }
  return q.value(0).toInt();
}

QStringList SqliteEngine::WriteVersion(int version) const {
  return {QStringLiteral("PRAGMA user_version = %1").arg(version)};
}

QStringList SqliteEngine::StepStatements(int step) const {
  switch (step) {
  case 1:
    return {QStringLiteral("CREATE TABLE IF NOT EXISTS TableLastFiled ("
                           "DeviceId INTEGER PRIMARY KEY, "
                           "FiledLength INTEGER NOT NULL, "
                           "FiledHash BLOB NOT NULL)")};
  default:
    return {};
  }
}
