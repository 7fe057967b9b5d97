#pragma once
// A throw-away program folder whose database a script of SQL has filled,
// with a settings file that keeps the settings window closed at start.
#include "ProgramFolder.h"

#include <QFile>
#include <QProcess>
#include <cstdlib>
#include <memory>

// Runs `script` (one transaction of statements) on a fresh copy of the
// supplied database; aborts the benchmark when that fails.
inline std::unique_ptr<ProgramFolder> FilledProgramFolder(const QByteArray &script) {
  auto folder = std::make_unique<ProgramFolder>();
  QFile ini(folder->file("VX4418.ini"));
  ini.open(QIODevice::WriteOnly);
  ini.write("[Program setting]\nRunSet=0\n");
  ini.close();
  QProcess sqlite;
  sqlite.start("sqlite3", {folder->databasePath()});
  sqlite.waitForStarted();
  sqlite.write("BEGIN;" + script + "COMMIT;\n");
  sqlite.closeWriteChannel();
  sqlite.waitForFinished(-1);
  if (sqlite.exitCode() != 0)
    std::abort();
  return folder;
}

// Statements adding `users` people, every third holding an instrument.
inline QByteArray InsertUsers(int users) {
  return "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<" +
         QByteArray::number(users) +
         ") INSERT INTO TableUser (UserSecondName, UserFirstName, UserMiddleName, DeviceId) "
         "SELECT 'Second'||i, 'First'||i, 'Middle'||i, "
         "CASE WHEN i%3=0 THEN 1000000+i ELSE -1 END FROM n;";
}
