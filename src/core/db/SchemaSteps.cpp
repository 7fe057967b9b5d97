#include "db/SchemaSteps.h"

#include "db/DbEngine.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace {

bool Run(QSqlDatabase &db, const QString &text, QString &error) {
  QSqlQuery q(db);
  if (q.exec(text))
    return true;
  error = q.lastError().text();
  return false;
}

bool RunAll(QSqlDatabase &db, const QStringList &texts, QString &error) {
  for (const QString &text : texts)
    if (!Run(db, text, error))
      return false;
  return true;
}

} // namespace

SchemaState BringSchemaUpToDate(QSqlDatabase &db, const DbEngine &engine) {
  static_assert(CurrentSchemaVersion >= 1);
  SchemaState state;
  const std::optional<int> found = engine.ReadVersion(db, state.error);
  if (!found) {
    state.outcome = SchemaState::Outcome::Behind;
    return state;
  }
  state.Version = *found;
  if (state.Version > CurrentSchemaVersion) {
    state.outcome = SchemaState::Outcome::TooNew;
    state.error = QStringLiteral("the database has layout version %1; this program knows %2")
                      .arg(state.Version)
                      .arg(CurrentSchemaVersion);
    return state;
  }
  if (state.Version == CurrentSchemaVersion)
    return state;

  // Another program may be taking the same steps: the lock comes first, the
  // version is read again under it.
  QString error;
  int version = state.Version;
  bool ok = RunAll(db, engine.BeginSteps(), error);
  if (ok) {
    const std::optional<int> again = engine.ReadVersion(db, error);
    ok = again.has_value();
    version = again.value_or(version);
  }
  for (int step = version + 1; ok && step <= CurrentSchemaVersion; ++step)
    ok = RunAll(db, engine.StepStatements(step), error);
  if (ok && version < CurrentSchemaVersion)
    ok = RunAll(db, engine.WriteVersion(CurrentSchemaVersion), error);
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
