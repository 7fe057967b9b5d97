#pragma once
#include <QString>

#include "import/ExternalDatabase.h"

class DbConnection;
class Journal;

// How an import ended.
enum class ImportOutcome {
  Merged,       // the whole file was merged
  Cancelled,    // the operator cancelled; nothing was merged
  SameDatabase, // refused: the file is the database in use
  SharedKey,    // refused: two people of the file share a key
  Unreadable,   // the file is no database of the program's layout
  Failed,       // a statement failed; nothing was merged
};

// What an import did. `error` says, for the operator, why nothing was merged
// (empty when merged or cancelled).
struct ImportResult {
  ImportOutcome outcome = ImportOutcome::Failed;
  int PeopleAdded = 0;
  int PeopleMatched = 0;
  qint64 EventsCopied = 0;
  qint64 EventsPresent = 0; // held by the database already, so not copied
  QString error;
};

// Told how an import advances, so a window can show it and let its own events
// be processed (Cancel, repainting) between steps. One step is one person
// matched or added, or one event copied. Called a few hundred times per import
// at most, the last time with done == total.
class ImportObserver {
public:
  virtual ~ImportObserver() = default;
  virtual void ImportProgress(qint64 done, qint64 total) = 0;
};

// Merges another database file of the program's layout into the program's
// own: people are matched by their three names without regard to case (a
// NULL name equal to an empty one), unknown people are added, and every typed
// event of each person is copied under the matching local person with its
// instrument, time, type and values as the file holds them, unless the
// database held an equal event for that person before the import (each held
// event stands for one equal event of the file, so importing a file again
// copies nothing). Everything happens in one transaction, so an
// import that fails or is cancelled leaves the database as it was.
//
// Refused before anything is written: the database in use itself (its events
// would all be doubled), and a file in which two people share a key (their
// events could not be told apart).
class ExternalImport {
public:
  // Merges into the database `connection` works on, which is never imported;
  // a merge is written to `journal` when one is given.
  explicit ExternalImport(DbConnection &connection, Journal *journal = nullptr);

  void SetObserver(ImportObserver *observer) { observer_ = observer; }
  // Asks a running import to stop at its next step; what it did is rolled back.
  void Cancel() { cancelled_ = true; }

  // Imports the database file at `path`.
  ImportResult Run(const QString &path);

private:
  DbConnection &dm_;
  Journal *journal_;
  ImportObserver *observer_ = nullptr;
  bool cancelled_ = false;
};

// Whether two paths name the same file: the same canonical path, or (where the
// platform tells) the same file under another name, such as a hard link.
bool SameFile(const QString &a, const QString &b);

// Reads another database file's TableUser and TableHistory whole, with every
// column an import needs. False, with the reason in *error, for a file that
// is no database or lacks one of them.
bool ReadImportTables(const QString &path, ExternalTable &people, ExternalTable &events,
                      QString *error);
