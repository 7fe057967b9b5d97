#pragma once
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "db/DatabaseLocation.h"

class QSqlError;

// What differs between the database engines the data module works on: how a
// connection is opened and kept, how a writing transaction starts, which
// failures a transaction may simply be run again after, and where the layout
// version is kept. The statements of the stores are the same on every engine.
class DbEngine {
public:
  virtual ~DbEngine() = default;
  virtual DatabaseEngine Kind() const = 0;
  // Qt's driver for the engine ("QSQLITE", "QPSQL").
  virtual QString Driver() const = 0;

  // Opens `db` (a connection of Driver()) on `location`; false with the reason.
  virtual bool Open(QSqlDatabase &db, const QString &location, QString &error) = 0;
  // Whether the open connection still works on what `location` names (a file
  // deleted or replaced since, a server connection that broke); when not, the
  // next statement reconnects.
  virtual bool StillUsable(const QSqlDatabase &db, const QString &location) const = 0;

  // Whether opening failed only because the server wants a password that
  // nothing supplied; then SetPassword and Open again.
  virtual bool PasswordWanted(const QString &) const { return false; }
  virtual void SetPassword(const QString &) {}

  // The statements that start a transaction that writes, the locks it needs
  // taken at once, so that other desks are waited for rather than failed.
  virtual QStringList Begin() const = 0;
  // Whether a statement that failed with `error` inside a transaction leaves
  // nothing done and the whole transaction may run again (another desk's
  // conflicting transaction won).
  virtual bool MayRetry(const QSqlError &error) const = 0;
  // Whether a statement failed because it broke a constraint of the layout
  // (a unique index).
  virtual bool ConstraintViolated(const QSqlError &error) const = 0;
  // Whether a statement failed because the connection was lost (the server
  // stopped, or cut this desk off).
  virtual bool ConnectionLost(const QSqlError &) const { return false; }

  // Row locks inside a writing transaction: what a select appends to lock
  // the rows it reads until the end of the transaction (empty where the
  // transaction holds the whole database already), and the statements that
  // make desks working on one instrument (":PDeviceId") take turns.
  virtual QString ForUpdate() const { return {}; }
  virtual QStringList LockInstrument() const { return {}; }

  // The layout version the database has taken (0 for the two original
  // tables only); nullopt, with the reason, when it cannot be read.
  virtual std::optional<int> ReadVersion(QSqlDatabase &db, QString &error) const = 0;
  // The statements that record `version` as taken.
  virtual QStringList WriteVersion(int version) const = 0;
  // A layout statement in this engine's words: "{integer}", "{real}",
  // "{text}" and "{blob}" become its column types, "{key}" a key column the
  // database numbers itself.
  virtual QString InEngineTypes(QString statement) const = 0;
  // Whether CopyRows below hands rows over in one stream.
  virtual bool CopiesRows() const { return false; }
  // Hands rows to the database in one stream, which over a network is many
  // times faster than a statement per row: false with the reason when it
  // failed, nullopt where the engine has no such stream (then the caller
  // inserts row by row). Values as the statements would bind them.
  virtual std::optional<bool> CopyRows(QSqlDatabase &, const QString & /*table*/,
                                       const QStringList & /*columns*/,
                                       const QList<QVariantList> & /*rows*/, QString & /*error*/) {
    return std::nullopt;
  }

  // The rows of a select without parameters in one stream, each handed to
  // `row` as its fields' texts (nullopt for NULL): over a network this is
  // many times faster than a row at a time. False with the reason when it
  // failed, nullopt where the engine has no such stream (then the caller
  // reads the select as usual).
  using StreamedRow = std::function<void(std::span<const std::optional<std::string_view>>)>;
  virtual std::optional<bool> StreamRows(QSqlDatabase &, const QString & /*select*/,
                                         int /*columns*/, const StreamedRow & /*row*/,
                                         QString & /*error*/) {
    return std::nullopt;
  }

  // A select of the key the last insert of this connection was given.
  virtual QString InsertedKeyStatement() const = 0;

  // A select of the names of the indexes on the program's tables.
  virtual QString IndexListStatement() const = 0;

  // The statements that start taking layout steps, so that two desks do not
  // take them at once.
  virtual QStringList BeginSteps() const = 0;
};

// The engine that works on `kind`.
std::unique_ptr<DbEngine> CreateDbEngine(DatabaseEngine kind);
