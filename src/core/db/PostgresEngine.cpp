#include "db/PostgresEngine.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <cmath>
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

namespace {
// One value in COPY's text format.
void AppendCopyValue(QByteArray &out, const QVariant &value) {
  if (value.isNull() || !value.isValid()) {
    out += "\\N";
    return;
  }
  switch (value.metaType().id()) {
  case QMetaType::Double: {
    const double d = value.toDouble();
    if (std::isnan(d))
      out += "NaN";
    else if (std::isinf(d))
      out += d > 0 ? "Infinity" : "-Infinity";
    else
      out += QByteArray::number(d, 'g', 17);
    return;
  }
  case QMetaType::Int:
  case QMetaType::LongLong:
  case QMetaType::UInt:
  case QMetaType::ULongLong:
    out += QByteArray::number(value.toLongLong());
    return;
  case QMetaType::Bool:
    out += value.toBool() ? "1" : "0";
    return;
  case QMetaType::QByteArray:
    out += "\\\\x" + value.toByteArray().toHex();
    return;
  default:
    for (char c : value.toString().toUtf8()) {
      switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
      }
    }
  }
}

QString ResultError(PGconn *conn, PGresult *result) {
  const QString message =
      QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(conn)).trimmed();
  return message.isEmpty() ? QStringLiteral("the server refused the rows") : message;
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

std::optional<bool> PostgresEngine::CopyRows(QSqlDatabase &db, const QString &table,
                                             const QStringList &columns,
                                             const QList<QVariantList> &rows, QString &error) {
  PGconn *conn = ConnectionOf(db);
  if (!conn) {
    error = QStringLiteral("no connection to the server");
    return false;
  }
  const QByteArray copy =
      "COPY " + table.toUtf8() + " (" + columns.join(u',').toUtf8() + ") FROM STDIN";
  PGresult *result = PQexec(conn, copy.constData());
  const bool started = PQresultStatus(result) == PGRES_COPY_IN;
  if (!started)
    error = ResultError(conn, result);
  PQclear(result);
  if (!started)
    return false;
  QByteArray chunk;
  bool sent = true;
  for (qsizetype r = 0; r < rows.size() && sent; ++r) {
    const QVariantList &row = rows[r];
    for (qsizetype c = 0; c < row.size(); ++c) {
      if (c > 0)
        chunk += '\t';
      AppendCopyValue(chunk, row[c]);
    }
    chunk += '\n';
    if (chunk.size() >= (1 << 16) || r + 1 == rows.size()) {
      sent = PQputCopyData(conn, chunk.constData(), int(chunk.size())) == 1;
      chunk.clear();
    }
  }
  sent = PQputCopyEnd(conn, sent ? nullptr : "the rows could not be sent") == 1 && sent;
  bool ok = sent;
  while (PGresult *r = PQgetResult(conn)) {
    if (PQresultStatus(r) != PGRES_COMMAND_OK) {
      error = ResultError(conn, r);
      ok = false;
    }
    PQclear(r);
  }
  if (!sent && error.isEmpty())
    error = ResultError(conn, nullptr);
  return ok;
}

std::optional<bool> PostgresEngine::StreamRows(QSqlDatabase &db, const QString &select, int columns,
                                               const StreamedRow &row, QString &error) {
  PGconn *conn = ConnectionOf(db);
  if (!conn) {
    error = QStringLiteral("no connection to the server");
    return false;
  }
  const QByteArray copy = "COPY (" + select.toUtf8() + ") TO STDOUT";
  PGresult *result = PQexec(conn, copy.constData());
  const bool started = PQresultStatus(result) == PGRES_COPY_OUT;
  if (!started)
    error = ResultError(conn, result);
  PQclear(result);
  if (!started)
    return false;
  // Text format: fields by tabs, a line each, \N for NULL. Numbers carry no
  // escapes, and the selects streamed here are numbers only.
  std::vector<std::optional<std::string_view>> fields(std::size_t(std::max(columns, 0)));
  bool ok = true;
  char *buffer = nullptr;
  int length;
  while ((length = PQgetCopyData(conn, &buffer, 0)) > 0) {
    std::string_view line(buffer, std::size_t(length));
    if (!line.empty() && line.back() == '\n')
      line.remove_suffix(1);
    std::size_t at = 0;
    for (std::size_t c = 0; c < fields.size(); ++c) {
      const std::size_t end = std::min(line.find('\t', at), line.size());
      const std::string_view field =
          at <= line.size() ? line.substr(at, end - at) : std::string_view();
      fields[c] = field == "\\N" ? std::nullopt : std::optional(field);
      at = end + 1;
    }
    row(fields);
    PQfreemem(buffer);
  }
  if (length == -2) {
    ok = false;
    error = ResultError(conn, nullptr);
  }
  while (PGresult *r = PQgetResult(conn)) {
    if (PQresultStatus(r) != PGRES_COMMAND_OK) {
      error = ResultError(conn, r);
      ok = false;
    }
    PQclear(r);
  }
  return ok;
}

bool PostgresEngine::PasswordWanted(const QString &error) const {
  return error.contains(QLatin1String("no password supplied"));
}

bool PostgresEngine::StillUsable(const QSqlDatabase &db, const QString &) const {
  PGconn *conn = ConnectionOf(db);
  return conn && PQstatus(conn) == CONNECTION_OK;
}

QStringList PostgresEngine::Begin() const {
  return {QStringLiteral("BEGIN ISOLATION LEVEL READ COMMITTED")};
}

bool PostgresEngine::ConnectionLost(const QSqlError &error) const {
  // connection_exception, admin_shutdown, crash_shutdown, cannot_connect_now;
  // a connection that ended before the server said why has no code.
  const QString state = error.nativeErrorCode();
  return state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P")) ||
         error.databaseText().contains(QLatin1String("server closed the connection"));
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
  return statement
      .replace(QLatin1String("{key}"),
               QLatin1String("bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"))
      .replace(QLatin1String("{integer}"), QLatin1String("bigint"))
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
