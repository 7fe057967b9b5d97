#pragma once
#include <QString>
#include <QStringList>

// The work of the database tool (vx4418-db): making a server database,
// copying a whole register and history from one database into another, and
// looking at a database's layout. A database is named as in the settings: a
// SQLite file path or a postgresql:// URI; a copy may also read the Access
// file of an earlier installation.

// How one piece of work ended. `error` is one line for the operator when it
// failed; `lines` is what it has to report (what was copied, what was found).
struct AdminResult {
  enum class Outcome {
    Done,     // done; for a check: nothing wrong found
    Problems, // a check found problems (in `lines`)
    Refused,  // not done, because of what the database holds (not empty, ...)
    Failed    // the database could not be reached or refused a statement
  };
  Outcome outcome = Outcome::Failed;
  QString error;
  QStringList lines;
};

// Creates the tables of the current layout in an empty PostgreSQL database;
// refused for a database that holds any table.
AdminResult InitServerDatabase(const QString &uri);

// Copies every person, event, what was last filed from each instrument and
// the journal from `from` into `to`, keeping every key and value, in one transaction on
// `to`: all of it or nothing. `to` must have the program's layout and hold no
// person and no event.
AdminResult CopyDatabase(const QString &from, const QString &to);

// Looks at a database without changing it: its layout version, the indexes
// the program relies on, and instruments that more than one person holds
// (naming them).
AdminResult CheckDatabase(const QString &location);

// The SQL of db/schema-postgresql.sql, built into the program.
QString ServerSchema();
// The statements of an SQL script, its "--" comment lines left out.
QStringList SqlStatementsOf(const QString &script);
