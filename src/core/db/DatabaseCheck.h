#pragma once
#include <QString>

// Whether a file can serve as the program's database, looked at without
// changing it: it must exist, open read-only as a SQLite database and hold the
// tables TableUser and TableHistory.
struct DatabaseCheck {
  bool usable = false;
  // Why not, in the words of the system or of SQLite ("No such file or
  // directory", "file is not a database", "no such table: TableUser"); empty
  // when usable.
  QString reason;
};

// Looks at the database file at path, waiting up to 5 s for another
// program's write lock. The path is a plain file name: ";", "?" or "#" in it
// are part of the name.
DatabaseCheck CheckDatabaseFile(const QString &path);
