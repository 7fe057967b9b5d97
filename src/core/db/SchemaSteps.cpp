#include "db/SchemaSteps.h"

#include "db/DbEngine.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace {

// The statements of each step; index 0 is step 1. Column types are written
// as the engine names them (DbEngine::InEngineTypes).
const QList<QStringList> &Steps() {
  static const QList<QStringList> steps{
      {QStringLiteral("CREATE TABLE IF NOT EXISTS TableLastFiled ("
                      "DeviceId {integer} PRIMARY KEY, "
                      "FiledLength {integer} NOT NULL, "
                      "FiledHash {blob} NOT NULL)")},
      {QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS UX_TableUser_Holder "
                      "ON TableUser (DeviceId) WHERE DeviceId >= 1")},
      {QStringLiteral("CREATE TABLE IF NOT EXISTS TableJournal ("
                      "JournalId {key}, "
                      "JournalTime {real} NOT NULL, "
                      "Desk {text}, "
                      "OsUser {text}, "
                      "Action {integer} NOT NULL, "
                      "UserId {integer}, "
                      "DeviceId {integer}, "
                      "EventCount {integer})")},
      {QStringLiteral("CREATE TABLE IF NOT EXISTS TableDeletedHistory ("
                      "DeletedId {key}, "
                      "DeviceId {integer}, "
                      "UserId {integer}, "
                      "DateTimeEvent {real}, "
                      "EventType {integer}, "
                      "EventValue {real}, "
                      "DEValue {real}, "
                      "DeletedTime {real} NOT NULL, "
                      "Desk {text})"),
       QStringLiteral("CREATE INDEX IF NOT EXISTS IX_TableDeletedHistory_UserId "
                      "ON TableDeletedHistory (UserId)")},
  };
  return steps;
}

// What must hold before a step can be taken: a select that finds what stands
// in its way, and what to tell then (%1: the first value it found).
struct StepCondition {
  int step;
  QString select;
  QString problem;
};
const QList<StepCondition> &Conditions() {
  static const QList<StepCondition> conditions{
      {2,
       QStringLiteral("SELECT DeviceId FROM TableUser WHERE DeviceId >= 1 "
                      "GROUP BY DeviceId HAVING COUNT(*) > 1"),
       QStringLiteral("Instrument %1 has more than one holder in the register, so the database "
                      "cannot be made to allow only one; vx4418-db check names the people.")},
  };
  return conditions;
}

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

bool ConditionHolds(QSqlDatabase &db, int step, QString &error) {
  for (const StepCondition &c : Conditions()) {
    if (c.step != step)
      continue;
    QSqlQuery q(db);
    if (!q.exec(c.select)) {
      error = q.lastError().text();
      return false;
    }
    if (q.next()) {
      error = c.problem.arg(q.value(0).toString());
      return false;
    }
  }
  return true;
}

} // namespace

SchemaState BringSchemaUpToDate(QSqlDatabase &db, const DbEngine &engine) {
  Q_ASSERT(Steps().size() == CurrentSchemaVersion);
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
  // Steps are taken in order up to the first whose condition does not hold
  // (existing rows stand in its way): those before it are kept, as they can
  // serve, and the database tells that it is behind. Any other failure keeps
  // nothing.
  int reached = version;
  QString stopped;
  for (int step = version + 1; ok && stopped.isEmpty() && step <= CurrentSchemaVersion; ++step) {
    if (!ConditionHolds(db, step, stopped))
      break;
    for (const QString &text : Steps().at(step - 1))
      ok = ok && Run(db, engine.InEngineTypes(text), error);
    reached = ok ? step : reached;
  }
  if (ok && reached > version)
    ok = RunAll(db, engine.WriteVersion(reached), error);
  if (ok)
    ok = Run(db, QStringLiteral("COMMIT"), error);
  if (!ok) {
    QString ignored;
    Run(db, QStringLiteral("ROLLBACK"), ignored);
    state.outcome = SchemaState::Outcome::Behind;
    state.error = error;
    return state;
  }
  state.Version = reached;
  if (reached < CurrentSchemaVersion) {
    state.outcome = SchemaState::Outcome::Behind;
    state.error = stopped;
  }
  return state;
}
