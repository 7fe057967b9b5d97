#include "db/PostgresEngine.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <libpq-fe.h>

namespace {
// A libpq option value between single quotes, with ' and \ escaped.
QString Quoted(const QString &value) {
  QString v = value;
  v.replace(u'\\', QStringLiteral("\\\\"));
  v.replace(u'\'', QStringLiteral("\\'"));
  return u'\'' + v + u'\'';
}

PGconn *ConnectionOf(const QSqlDatabase &db) {
  const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
  if (!handle.isValid() || qstrcmp(handle.typeName(), "pg_conn*") != 0)
    return nullptr;
  return *static_cast<PGconn *const *>(handle.data());
}
} // namespace

std::optional<QString> PostgresConnectOptions(const QString &uri, QString &error) {
  char *message = nullptr;
  PQconninfoOption *options = PQconninfoParse(uri.trimmed().toUtf8().constData(), &message);
  if (!options) {
    error = message ? QString::fromUtf8(message).trimmed()
                    : QStringLiteral("the connection URI cannot be read");
    PQfreemem(message);
    return std::nullopt;
  }
  QStringList parts;
  bool ok = true;
  for (const PQconninfoOption *o = options; o->keyword; ++o) {
    if (!o->val)
      continue;
    const QString value = QString::fromUtf8(o->val);
    if (value.contains(u';')) {
      error = QStringLiteral("the connection URI holds \";\" in %1").arg(QLatin1String(o->keyword));
      ok = false;
      break;
    }
    parts << QLatin1String(o->keyword) + u'=' + Quoted(value);
  }
  PQconninfoFree(options);
  if (!ok)
    return std::nullopt;
  return parts.join(u';');
}

bool PostgresEngine::Open(QSqlDatabase &db, const QString &location, QString &error) {
  db.close();
  std::optional<QString> options = PostgresConnectOptions(location, error);
  if (!options)
    return false;
  if (!password_.isEmpty())
    *options += QStringLiteral(";password=") + Quoted(password_);
  // A server that does not answer is given up after 10 s.
  *options += QStringLiteral(";connect_timeout='10'");
  db.setConnectOptions(*options);
  if (db.open())
    return true;
  error = db.lastError().text().trimmed();
  return false;
}

bool PostgresEngine::PasswordWanted(const QString &error) const {
  return error.contains(QLatin1String("no password supplied"));
}

bool PostgresEngine::StillUsable(const QSqlDatabase &db, const QString &) const {
  PGconn *conn = ConnectionOf(db);
  return conn && PQstatus(conn) == CONNECTION_OK;
}

QStringList PostgresEngine::Begin() const {
  return {QStringLiteral("BEGIN ISOLATION LEVEL SERIALIZABLE")};
}

bool PostgresEngine::MayRetry(const QSqlError &error) const {
  // serialization_failure, deadlock_detected
  const QString state = error.nativeErrorCode();
  return state == QLatin1String("40001") || state == QLatin1String("40P01");
}

bool PostgresEngine::ConstraintViolated(const QSqlError &error) const {
  return error.nativeErrorCode().startsWith(QLatin1String("23")); // integrity_constraint_violation
}

std::optional<int> PostgresEngine::ReadVersion(QSqlDatabase &db, QString &error) const {
  QSqlQuery q(db);
  if (!q.exec(QStringLiteral("SELECT to_regclass('tableschema') IS NOT NULL")) || !q.next()) {
    error = q.lastError().text();
    return std::nullopt;
  }
  if (!q.value(0).toBool())
    return 0;
  if (!q.exec(QStringLiteral("SELECT MAX(Version) FROM TableSchema")) || !q.next()) {
    error = q.lastError().text();
    return std::nullopt;
  }
  return q.value(0).toInt();
}

QStringList PostgresEngine::WriteVersion(int version) const {
  return {QStringLiteral("CREATE TABLE IF NOT EXISTS TableSchema (Version integer NOT NULL)"),
          QStringLiteral("DELETE FROM TableSchema"),
          QStringLiteral("INSERT INTO TableSchema (Version) VALUES (%1)").arg(version)};
}

QString PostgresEngine::InEngineTypes(QString statement) const {
  // 64-bit integers and doubles, as SQLite stores them: nothing is lost
  // either way.
  return statement.replace(QLatin1String("{integer}"), QLatin1String("bigint"))
      .replace(QLatin1String("{real}"), QLatin1String("double precision"))
      .replace(QLatin1String("{text}"), QLatin1String("text"))
      .replace(QLatin1String("{blob}"), QLatin1String("bytea"));
}

QStringList PostgresEngine::BeginSteps() const {
  // One desk at a time takes the steps; the others wait and find them taken.
  // A desk that waits longer than 5 s goes on without them, as on a SQLite
  // file that another program holds.
  return {QStringLiteral("BEGIN"), QStringLiteral("SET LOCAL lock_timeout = '5s'"),
          QStringLiteral("SELECT pg_advisory_xact_lock(4418)")};
}
