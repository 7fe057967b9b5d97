#pragma once
#include "db/DbEngine.h"
#include "db/DbFileState.h"

// A SQLite file in the program folder or on a share: the embedded default of
// a single desk. A transaction that writes takes the file's write lock at its
// start (another program on the same file is waited for, 5 s at most), so
// transactions never overlap and need no row locks; the
// connection is opened again when the file it opened was deleted, replaced or
// made read-only since. The layout version is PRAGMA user_version.
class SqliteEngine : public DbEngine {
public:
  DatabaseEngine Kind() const override { return DatabaseEngine::Sqlite; }
  QString Driver() const override { return QStringLiteral("QSQLITE"); }
  bool Open(QSqlDatabase &db, const QString &location, QString &error) override;
  bool StillUsable(const QSqlDatabase &db, const QString &location) const override;
  QStringList Begin() const override { return {QStringLiteral("BEGIN IMMEDIATE")}; }
  bool MayRetry(const QSqlError &) const override { return false; }
  bool ConstraintViolated(const QSqlError &error) const override;
  std::optional<int> ReadVersion(QSqlDatabase &db, QString &error) const override;
  QStringList WriteVersion(int version) const override;
  QString InEngineTypes(QString statement) const override;
  QStringList BeginSteps() const override { return Begin(); }
  QString InsertedKeyStatement() const override {
    return QStringLiteral("SELECT last_insert_rowid()");
  }
  QString IndexListStatement() const override {
    return QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index'");
  }

private:
  DbFileState opened_; // the file the connection opened, as it was then
};
