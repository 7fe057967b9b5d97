#include "db/DatabaseCheck.h"

#include <QFile>
#include <QFileInfo>
#include <memory>
#include <sqlite3.h>

namespace {

DatabaseCheck Unusable(const QString &reason) {
  return DatabaseCheck{false, reason};
}

struct CloseDatabase {
  void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
using Connection = std::unique_ptr<sqlite3, CloseDatabase>;

QString Message(sqlite3 *db) {
  return QString::fromUtf8(sqlite3_errmsg(db));
}

// Empty when the table can be read, else SQLite's message.
QString TableProblem(sqlite3 *db, const char *select) {
  sqlite3_stmt *statement = nullptr;
  const int rc = sqlite3_prepare_v2(db, select, -1, &statement, nullptr);
  QString problem;
  if (rc != SQLITE_OK)
    problem = Message(db);
  else if (const int step = sqlite3_step(statement); step != SQLITE_DONE && step != SQLITE_ROW)
    problem = Message(db);
  sqlite3_finalize(statement);
  return problem;
}

} // namespace

DatabaseCheck CheckDatabaseFile(const QString &path) {
  if (path.isEmpty())
    return Unusable(QStringLiteral("No database file is named."));
  // The file system's own word on a missing file, a folder or a file that may
  // not be read.
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return Unusable(file.errorString());
  file.close();

  sqlite3 *raw = nullptr;
  const QByteArray name = QFile::encodeName(QFileInfo(path).absoluteFilePath());
  const int rc = sqlite3_open_v2(name.constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
  Connection db(raw);
  if (rc != SQLITE_OK)
    return Unusable(raw ? Message(raw) : QString::fromUtf8(sqlite3_errstr(rc)));
  sqlite3_busy_timeout(raw, 5000);
  // Reading the schema is what tells a database from any other file.
  for (const char *select :
       {"SELECT count(*) FROM sqlite_master", "SELECT UserId FROM TableUser WHERE 0",
        "SELECT DeviceId FROM TableHistory WHERE 0"})
    if (const QString problem = TableProblem(raw, select); !problem.isEmpty())
      return Unusable(problem);
  return DatabaseCheck{true, QString()};
}
