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
  UseEngine(DatabaseEngine::Sqlite);
}

DbConnection::~DbConnection() {
  db_.close();
  db_ = QSqlDatabase();
  QSqlDatabase::removeDatabase(connectionName_);
}

void DbConnection::UseEngine(DatabaseEngine kind) {
  if (engine_ && engine_->Kind() == kind)
    return;
  db_.close();
  db_ = QSqlDatabase();
  if (QSqlDatabase::contains(connectionName_))
    QSqlDatabase::removeDatabase(connectionName_);
  engine_ = CreateDbEngine(kind);
  db_ = QSqlDatabase::addDatabase(engine_->Driver(), connectionName_);
  if (password_)
    engine_->SetPassword(*password_);
}

QSqlQuery DbConnection::Query() const {
  return QSqlQuery(db_);
}

bool DbConnection::Ok(bool ok, const QSqlQuery &query) {
  retryable_ = false;
  constraintViolated_ = false;
  connectionLost_ = false;
  if (!ok) {
    lastError_ = query.lastError().text();
    retryable_ = inTransaction_ && engine_->MayRetry(query.lastError());
    constraintViolated_ = engine_->ConstraintViolated(query.lastError());
    connectionLost_ = engine_->ConnectionLost(query.lastError());
    qCWarning(lcDb) << "statement failed:" << lastError_;
  }
  return ok;
}

bool DbConnection::OpenWithPassword() {
  QString error;
  if (engine_->Open(db_, location_, error))
    return true;
  // Asked once per run: a wrong answer is not asked again.
  if (engine_->PasswordWanted(error) && passwordSource_ && !password_) {
    password_ = passwordSource_(ShownLocation(location_)).value_or(QString());
    engine_->SetPassword(*password_);
    if (!password_->isEmpty() && engine_->Open(db_, location_, error))
      return true;
  }
  lastError_ = error;
  qCWarning(lcDb) << "cannot open" << ShownLocation(location_) << "-" << error;
  return false;
}

bool DbConnection::Open() {
  UseEngine(EngineOf(location_));
  if (!OpenWithPassword())
    return false;
  schema_ = BringSchemaUpToDate(db_, *engine_);
  if (schema_.outcome == SchemaState::Outcome::TooNew) {
    lastError_ = schema_.error;
    db_.close();
    return false;
  }
  openedLocation_ = location_;
  ++generation_;
  return true;
}

bool DbConnection::Connect() {
  // A transaction is never carried over to another connection: what it did
  // on the one it began on is gone with it, so it fails whole.
  if (inTransaction_ && (openedLocation_ != location_ || !db_.isOpen() || !StillUsable())) {
    lastError_ = QStringLiteral("the database changed or the connection broke");
    return false;
  }
  if (openedLocation_ != location_) {
    db_.close();
    openedLocation_.clear();
  } else if (db_.isOpen() && !StillUsable()) {
    // Deleted, replaced or made read-only since it was opened, or the server
    // connection broke: statements go to what the location names now, or
    // fail when there is nothing.
    db_.close();
  }
  return db_.isOpen() || Open();
}

bool DbConnection::Prepare(QSqlQuery &query, const QString &text, bool prepare) {
  if (!Connect())
    return false;
  query = QSqlQuery(db_);
  query.setForwardOnly(true);
  return !prepare || Ok(query.prepare(text), query);
}

bool DbConnection::Exec(QSqlQuery &query, const QString &text, const QVariantMap &params) {
  return Run(query, text, params, nullptr);
}

bool DbConnection::Exec(PreparedStatement &statement, const QString &text,
                        const QVariantMap &params) {
  return Run(statement.query, text, params, &statement);
}

bool DbConnection::Run(QSqlQuery &query, const QString &text, const QVariantMap &params,
                       PreparedStatement *kept) {
  const auto run = [&] {
    if (kept && kept->text == text && kept->connection == generation_ && Connect() &&
        kept->connection == generation_) {
      query.finish(); // prepared on this connection: only executed again
    } else if (Prepare(query, text)) {
      if (kept) {
        kept->text = text;
        kept->connection = generation_;
      }
    } else {
      return false;
    }
    for (auto it = params.cbegin(); it != params.cend(); ++it)
      query.bindValue(Placeholder(it.key()), it.value());
    return Ok(query.exec(), query);
  };
  if (run())
    return true;
  // A statement of its own that found the connection broken (the server
  // restarted, the desk was cut off) runs once more on a new connection.
  return !inTransaction_ && Reconnected() && run();
}

std::optional<bool> DbConnection::CopyRows(const QString &table, const QStringList &columns,
                                           const QList<QVariantList> &rows) {
  QSqlQuery probe = Query();
  if (!Prepare(probe, QString(), false))
    return false;
  QString error;
  const std::optional<bool> copied = engine_->CopyRows(db_, table, columns, rows, error);
  if (copied && !*copied) {
    lastError_ = error;
    qCWarning(lcDb) << "rows not added:" << error;
  }
  return copied;
}

std::optional<bool> DbConnection::StreamRows(const QString &select, int columns,
                                             const DbEngine::StreamedRow &row) {
  QSqlQuery probe = Query();
  if (!Prepare(probe, QString(), false))
    return false;
  QString error;
  const std::optional<bool> read = engine_->StreamRows(db_, select, columns, row, error);
  if (read && !*read) {
    lastError_ = error;
    qCWarning(lcDb) << "rows not read:" << error;
  }
  return read;
}

bool DbConnection::LockInstrument(qint32 deviceId) {
  for (const QString &text : engine_->LockInstrument()) {
    QSqlQuery q = Query();
    if (!Exec(q, text, {{QStringLiteral(":PDeviceId"), deviceId}}))
      return false;
  }
  return true;
}

bool DbConnection::Reconnected() {
  // A server connection that broke may already count as closed.
  if (!connectionLost_ && (!db_.isOpen() || StillUsable()))
    return false;
  connectionLost_ = false;
  qCWarning(lcDb) << "the connection to" << ShownLocation(location_) << "broke; connecting again";
  db_.close();
  return true;
}

std::optional<qint64> DbConnection::InsertedKey() {
  QSqlQuery q = Query();
  if (!Exec(q, engine_->InsertedKeyStatement()) || !q.next())
    return std::nullopt;
  return q.value(0).toLongLong();
}

bool DbConnection::StillUsable() const {
  return engine_->StillUsable(db_, openedLocation_);
}

bool DbConnection::BeginTransaction() {
  // The connection is made the configured one first: its engine says how a
  // transaction starts. The write lock (SQLite) is taken at once, so another
  // program writing to the same database is waited for before anything is done.
  const auto begin = [this] {
    QSqlQuery query = Query();
    bool ok = Prepare(query, QString(), false);
    for (const QString &text : ok ? engine_->Begin() : QStringList())
      ok = ok && Ok(query.exec(text), query);
    return ok;
  };
  // Nothing is done yet: a broken connection is made anew and the
  // transaction started on it.
  inTransaction_ = begin() || (Reconnected() && begin());
  return inTransaction_;
}

bool DbConnection::EndTransaction(bool ok) {
  const bool retryable = retryable_;
  inTransaction_ = false;
  // Work committed into a file that is no longer the database (deleted or
  // replaced meanwhile) would be lost: it is rolled back and reported.
  if (ok && !StillUsable()) {
    lastError_ = QStringLiteral("the database changed or the connection broke");
    ok = false;
  }
  if (ok && db_.commit())
    return true;
  if (ok) {
    lastError_ = db_.lastError().text();
    retryable_ = engine_->MayRetry(db_.lastError());
  } else {
    retryable_ = retryable;
  }
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
