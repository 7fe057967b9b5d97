#pragma once
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

#include "db/DbEngine.h"
#include "db/SchemaSteps.h"

// The connection to the program's database and its transactions: the one
// place every statement of the data module passes through. The location (a
// SQLite file or a server URI, db/DatabaseLocation.h) is looked at again
// before every statement, so a changed location takes effect on the next one.
// Failures answer false and keep the database's message in LastError();
// nothing here shows anything.
class DbConnection {
public:
  DbConnection();
  ~DbConnection();
  DbConnection(const DbConnection &) = delete;
  DbConnection &operator=(const DbConnection &) = delete;

  // Where statements go from the next one on; empty: nowhere.
  void SetLocation(const QString &location) { location_ = location; }
  const QString &Location() const { return location_; }
  // The engine of the location (also before the connection opens).
  DatabaseEngine Engine() const { return EngineOf(location_); }

  // Asked once when a server wants a password that nothing supplies: the
  // operator's answer, kept in memory for this run only; nullopt: none given.
  using PasswordSource = std::function<std::optional<QString>(const QString &shownLocation)>;
  void SetPasswordSource(PasswordSource source) { passwordSource_ = std::move(source); }

  // A query on this connection (not yet the configured one: Prepare makes it so).
  QSqlQuery Query() const;

  // Makes the connection the configured one (reconnecting when the location
  // changed, or when the file it opened was deleted, replaced or made
  // read-only since), opens it if it is closed, and gives `query` the
  // statement text on it, prepared unless `prepare` is false (then the caller
  // runs query.exec(text)).
  bool Prepare(QSqlQuery &query, const QString &text, bool prepare = true);

  // Prepares `text`, binds the named parameters (":PUserId" -> value, the key
  // with or without the colon) and runs it.
  bool Exec(QSqlQuery &query, const QString &text, const QVariantMap &params = {});

  // A statement kept prepared between runs: a server then executes it at
  // once instead of preparing it anew (one round trip instead of three).
  struct PreparedStatement {
    QSqlQuery query;
    QString text;
    quint64 connection = 0; // the connection it was prepared on
  };
  // The same as Exec, reusing `statement` while it holds `text` on the
  // connection of now; the rows are read from statement.query.
  bool Exec(PreparedStatement &statement, const QString &text, const QVariantMap &params = {});

  // Runs `work` in one transaction: committed when it answers true, rolled
  // back otherwise. When another desk's transaction conflicted and the
  // database refused this one whole, `work` runs again from the start (a few
  // times at most), so it must only depend on what it reads inside.
  // Transactions do not nest.
  template <class Work> bool InTransaction(Work &&work) {
    for (int attempt = 1;; ++attempt) {
      if (!BeginTransaction())
        return false;
      const bool ok = work();
      if (EndTransaction(ok))
        return true;
      if (!retryable_ || attempt == MaxAttempts)
        return false;
    }
  }
  static constexpr int MaxAttempts = 5;

  // `ok`, keeping the query's error as the last one when it is false.
  bool Ok(bool ok, const QSqlQuery &query);
  void SetLastError(const QString &error) { lastError_ = error; }
  // The key the last insert on this connection was given; nullopt when it
  // cannot be read.
  std::optional<qint64> InsertedKey();
  // Whether the last failed statement broke a constraint of the layout.
  bool ConstraintViolated() const { return constraintViolated_; }

  // What the engine appends to a select to lock the rows it reads (db/DbEngine.h).
  QString ForUpdate() const { return engine_->ForUpdate(); }
  // Whether the engine of the location adds rows in one stream.
  bool CopiesRows() const { return engine_->CopiesRows(); }
  // Adds rows to a table in one stream where the engine has one (nullopt:
  // it has none; insert them row by row). False with LastError() on failure.
  std::optional<bool> CopyRows(const QString &table, const QStringList &columns,
                               const QList<QVariantList> &rows);
  // Reads a select without parameters in one stream where the engine has one
  // (nullopt: it has none; read it as usual). False with LastError() on failure.
  std::optional<bool> StreamRows(const QString &select, int columns,
                                 const DbEngine::StreamedRow &row);
  // Makes desks working on the instrument take turns, inside a transaction.
  bool LockInstrument(qint32 deviceId);
  // The database's message for the last failed statement (for diagnostics and
  // the support log; the program shows no database messages).
  const QString &LastError() const { return lastError_; }

  // The layout of the database last opened, and whether its missing steps
  // could be taken. A database newer than the program is not used: every
  // statement fails while it is the configured one.
  const SchemaState &Schema() const { return schema_; }

private:
  bool Open();
  // Makes the connection the configured one and opens it if it is closed.
  bool Connect();
  bool Run(QSqlQuery &query, const QString &text, const QVariantMap &params,
           PreparedStatement *kept);
  bool OpenWithPassword();
  // A connection of the engine's driver in db_, made anew for another engine.
  void UseEngine(DatabaseEngine kind);
  // Whether the open connection broke; then it is closed, so that the next
  // statement connects again.
  bool Reconnected();
  bool BeginTransaction();
  bool EndTransaction(bool ok);
  // Whether the open connection still works on what the location names.
  bool StillUsable() const;

  QString connectionName_;
  std::unique_ptr<DbEngine> engine_;
  QSqlDatabase db_;
  QString location_;       // where statements go
  QString openedLocation_; // where the open connection goes
  quint64 generation_ = 0; // counts the connections opened
  SchemaState schema_;
  bool inTransaction_ = false;
  bool retryable_ = false; // the last failure may go away when run again
  bool constraintViolated_ = false;
  bool connectionLost_ = false;
  QString lastError_;
  PasswordSource passwordSource_;
  std::optional<QString> password_; // what the operator gave, for this run
};

// Opens `db` (a QSQLITE connection) on an existing database file for reading
// and writing, waiting up to 5 s for another program's lock. A missing file,
// a directory or a file that cannot be opened fails; the file is never
// created. A file that is not a database opens, and its first statement fails.
bool OpenDatabaseFile(QSqlDatabase &db, const QString &path);
