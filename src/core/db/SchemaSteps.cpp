#include "db/SchemaSteps.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace {

// The statements of each step; index 0 is step 1.
const QList<QStringList> &Steps() {
  static const QList<QStringList> steps{
      {QStringLiteral("CREATE TABLE IF NOT EXISTS TableLastFiled ("
                      "DeviceId INTEGER PRIMARY KEY, "
                      "FiledLength INTEGER NOT NULL, "
                      "FiledHash BLOB NOT NULL)")},
  };
  return steps;
}

bool ReadVersion(QSqlDatabase &db, int &version, QString &error) {
  QSqlQuery q(db);
  if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
    error = q.lastError().text();
    return false;
  }
  version = q.value(0).toInt();
  return true;
}

bool Run(QSqlDatabase &db, const QString &text, QString &error) {
  QSqlQuery q(db);
  if (q.exec(text))
    return true;
  error = q.lastError().text();
  return false;
}

} // namespace

SchemaState BringSchemaUpToDate(QSqlDatabase &db) {
  static_assert(CurrentSchemaVersion >= 1);
  SchemaState state;
  if (!ReadVersion(db, state.Version, state.error)) {
    state.outcome = SchemaState::Outcome::Behind;
    return state;
  }
  if (state.Version > CurrentSchemaVersion) {
    state.outcome = SchemaState::Outcome::TooNew;
    state.error = QStringLiteral("the database has layout version %1; this program knows %2")
                      .arg(state.Version)
                      .arg(CurrentSchemaVersion);
    return state;
  }
  if (state.Version == CurrentSchemaVersion)
    return state;

  // Another program may be taking the same steps: the write lock comes
  // first, the version is read again under it.
  QString error;
  int version = state.Version;
  bool ok = Run(db, QStringLiteral("BEGIN IMMEDIATE"), error);
  if (ok)
    ok = ReadVersion(db, version, error);
  for (int step = version + 1; ok && step <= CurrentSchemaVersion; ++step)
    for (const QString &text : Steps().at(step - 1))
      if (ok)
        ok = Run(db, text, error);
  if (ok && version < CurrentSchemaVersion)
    ok = Run(db, QStringLiteral("PRAGMA user_version = %1").arg(CurrentSchemaVersion), error);
  if (ok)
    ok = Run(db, QStringLiteral("COMMIT"), error);
  if (!ok) {
    QString ignored;
    Run(db, QStringLiteral("ROLLBACK"), ignored);
    state.outcome = SchemaState::Outcome::Behind;
    state.error = error;
    return state;
  }
  state.Version = CurrentSchemaVersion;
  return state;
}
