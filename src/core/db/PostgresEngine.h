#pragma once
#include "db/DbEngine.h"

// A PostgreSQL server that several desks share, reached by a libpq connection
// URI. Writing transactions read what other desks committed; the rows a
// change depends on are locked (the holder of an instrument, the person to
// delete) and desks filing or registering one instrument take turns, so two
// desks never act on the same thing at once. A transaction refused whole
// (a deadlock, a serialization failure) is run again. The layout version is
// the one row of TableSchema.
class PostgresEngine : public DbEngine {
public:
  DatabaseEngine Kind() const override { return DatabaseEngine::PostgreSql; }
  QString Driver() const override { return QStringLiteral("QPSQL"); }
  bool Open(QSqlDatabase &db, const QString &location, QString &error) override;
  bool StillUsable(const QSqlDatabase &db, const QString &location) const override;
  QStringList Begin() const override;
  bool MayRetry(const QSqlError &error) const override;
  bool ConstraintViolated(const QSqlError &error) const override;
  bool ConnectionLost(const QSqlError &error) const override;
  bool CopiesRows() const override { return true; }
  // COPY ... FROM STDIN on the driver's own connection.
  std::optional<bool> StreamRows(QSqlDatabase &db, const QString &select, int columns,
                                 const StreamedRow &row, QString &error) override;
  std::optional<bool> CopyRows(QSqlDatabase &db, const QString &table, const QStringList &columns,
                               const QList<QVariantList> &rows, QString &error) override;
  QString ForUpdate() const override { return QStringLiteral(" FOR UPDATE"); }
  QStringList LockInstrument() const override {
    return {QStringLiteral("SELECT pg_advisory_xact_lock(4419, :PDeviceId)")};
  }
  std::optional<int> ReadVersion(QSqlDatabase &db, QString &error) const override;
  QStringList WriteVersion(int version) const override;
  QString InEngineTypes(QString statement) const override;
  QStringList BeginSteps() const override;
  QString InsertedKeyStatement() const override { return QStringLiteral("SELECT lastval()"); }
  QString IndexListStatement() const override {
    return QStringLiteral("SELECT indexname FROM pg_indexes WHERE schemaname = current_schema()");
  }

  bool PasswordWanted(const QString &error) const override;
  // A password the operator gave for this run; used where the URI and
  // libpq's environment and files supply none.
  void SetPassword(const QString &password) override { password_ = password; }

private:
  QString password_;
};

// The libpq keyword/value connection options of a URI ("host='db' port='5432'
// ..."), each value quoted; nullopt, with libpq's reason, for a URI it cannot
// parse. A value holding ';' is refused (Qt's driver splits options there).
std::optional<QString> PostgresConnectOptions(const QString &uri, QString &error);
