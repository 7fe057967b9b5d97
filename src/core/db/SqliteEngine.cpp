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

bool SqliteEngine::ConstraintViolated(const QSqlError &error) const {
  bool ok = false;
  const int code = error.nativeErrorCode().toInt(&ok);
  return ok && (code & 0xff) == 19; // SQLITE_CONSTRAINT and its extended codes
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

QString SqliteEngine::InEngineTypes(QString statement) const {
  return statement.replace(QLatin1String("{key}"), QLatin1String("INTEGER PRIMARY KEY"))
      .replace(QLatin1String("{integer}"), QLatin1String("INTEGER"))
      .replace(QLatin1String("{real}"), QLatin1String("REAL"))
      .replace(QLatin1String("{text}"), QLatin1String("TEXT"))
      .replace(QLatin1String("{blob}"), QLatin1String("BLOB"));
}
