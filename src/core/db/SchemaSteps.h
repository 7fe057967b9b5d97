#pragma once
#include <QSqlDatabase>
#include <QString>

// The layout of the program's database grows in numbered steps. A database
// keeps the number of the last step it has taken (PRAGMA user_version on
// SQLite, the one row of TableSchema on a server; db/DbEngine.h); the
// two original tables are version 0. A step only adds tables and indexes: the
// original tables are never changed or dropped, so older files and the tools
// that read them keep working.
//
//   1  TableLastFiled: what was last filed from each instrument.
//   2  UX_TableUser_Holder: an instrument number (1 or more) has one holder
//      at most; refused while two people hold one.
//   3  TableJournal: who changed the register or the history, and when.
//   4  TableDeletedHistory: deleted events, kept so that they can be restored.
inline constexpr int CurrentSchemaVersion = 4;

// What opening a database found out about its layout.
struct SchemaState {
  enum class Outcome {
    UpToDate, // nothing to do, or every missing step taken
    TooNew,   // made by a newer program: not to be used
    Behind    // a step could not run: the database is as it was
  };
  Outcome outcome = Outcome::UpToDate;
  int Version = 0; // the version the database has now
  QString error;   // why a step could not run, or why it is too new

  // Whether the database has what step `version` adds.
  bool Has(int version) const { return Version >= version; }
};

class DbEngine;

// Reads the database's version and takes the missing steps, all in one
// transaction: all of them, or none (read-only file, a lock held too long, a
// login that may not change the layout).
SchemaState BringSchemaUpToDate(QSqlDatabase &db, const DbEngine &engine);
