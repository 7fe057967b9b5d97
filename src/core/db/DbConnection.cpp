#include "db/DbConnection.h"

#include <QFileInfo>
#include <QSqlError>
#include <QUrl>
#include <atomic>

#include "log/SupportLog.h"

namespace {
QString Placeholder(const QString &name) {
  return name.startsWith(u':') ? name : u':' + name;
}
} // namespace

DbConnection::DbConnection() {
  static std::atomic<int> instances{0};
  connectionName_ = QStringLiteral("TDM-%1").arg(++instances);
  db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
}

DbConnection::~DbConnection() {
  db_.close();
  db_ = QSqlDatabase();
  QSqlDatabase::removeDatabase(connectionName_);
}

QSqlQuery DbConnection::Query() const {
  return QSqlQuery(db_);
}

bool DbConnection::Ok(bool ok, const QSqlQuery &query) {
  if (!ok) {
    lastError_ = query.lastError().text();
    qCWarning(lcDb) << "statement failed:" << lastError_;
  }
  return ok;
}

bool DbConnection::Open() {
  if (!OpenDatabaseFile(db_, location_)) {
    lastError_ = db_.lastError().isValid() ? db_.lastError().text()
                                           : QStringLiteral("cannot open the database file");
    return false;
  }
  schema_ = BringSchemaUpToDate(db_);
  if (schema_.outcome == SchemaState::Outcome::TooNew) {
    lastError_ = schema_.error;
    db_.close();
    return false;
  }
  openedLocation_ = location_;
  openedFile_ = CurrentDbFileState(location_);
  return true;
}

bool DbConnection::Prepare(QSqlQuery &query, const QString &text, bool prepare) {
  if (openedLocation_ != location_) {
    db_.close();
    openedLocation_.clear();
  } else if (db_.isOpen() && !StillTheOpenedFile()) {
    // Deleted, replaced or made read-only since it was opened: statements go
    // to what the location names now, or fail when there is nothing. A
    // transaction is not carried over to another file; it fails instead.
    if (inTransaction_) {
      lastError_ = QStringLiteral("the database file changed");
      return false;
    }
    db_.close();
  }
  if (!db_.isOpen() && !Open())
    return false;
  query = QSqlQuery(db_);
  query.setForwardOnly(true);
  return !prepare || Ok(query.prepare(text), query);
}

bool DbConnection::Exec(QSqlQuery &query, const QString &text, const QVariantMap &params) {
  if (!Prepare(query, text))
    return false;
  for (auto it = params.cbegin(); it != params.cend(); ++it)
    query.bindValue(Placeholder(it.key()), it.value());
  return Ok(query.exec(), query);
}

bool DbConnection::StillTheOpenedFile() const {
  return CurrentDbFileState(openedLocation_) == openedFile_;
}

bool DbConnection::BeginTransaction() {
  // IMMEDIATE takes the write lock at once, so another program writing to the
  // same file is waited for (busy time-out) before anything is done.
  const QString begin = QStringLiteral("BEGIN IMMEDIATE");
  QSqlQuery query = Query();
  inTransaction_ = Prepare(query, begin, false) && Ok(query.exec(begin), query);
  return inTransaction_;
}

bool DbConnection::EndTransaction(bool ok) {
  inTransaction_ = false;
  // Work committed into a file that is no longer the database (deleted or
  // replaced meanwhile) would be lost: it is rolled back and reported.
  if (ok && !StillTheOpenedFile()) {
    lastError_ = QStringLiteral("the database file changed");
    ok = false;
  }
  if (ok && db_.commit())
    return true;
  if (ok)
    lastError_ = db_.lastError().text();
  db_.rollback();
  return false;
}

bool OpenDatabaseFile(QSqlDatabase &db, const QString &path) {
  db.close();
  const QFileInfo info(path);
  if (path.isEmpty() || !info.isFile())
    return false;
  // "mode=rw" makes SQLite refuse to create a missing file.
  QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
  url.setQuery(QStringLiteral("mode=rw"));
  db.setDatabaseName(QString::fromLatin1(url.toEncoded()));
  db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
  return db.open();
}
