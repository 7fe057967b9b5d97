#include "db/DatabaseAdmin.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <atomic>
#include <memory>

#include "ServerSchemaText.h"
#include "db/DbConnection.h"
#include "db/DbEngine.h"
#include "db/SchemaSteps.h"
#include "db/TableColumns.h"
#include "import/ExternalDatabase.h"

namespace {

using Outcome = AdminResult::Outcome;

// A driver's message on one line: its first line, without the driver's
// own addition ("QPSQL: Unable to create query").
QString OneLine(const QString &message) {
  return message.section(u'\n', 0, 0).trimmed();
}

AdminResult Fail(Outcome outcome, const QString &error) {
  AdminResult r;
  r.outcome = outcome;
  r.error = OneLine(error);
  return r;
}

// A connection of its own on a database, opened without taking layout steps,
// so that looking at a database never changes it.
class RawConnection {
public:
  explicit RawConnection(const QString &location) : engine_(CreateDbEngine(EngineOf(location))) {
    static std::atomic<int> serial{0};
    name_ = QStringLiteral("vx4418-db-%1").arg(++serial);
    db_ = QSqlDatabase::addDatabase(engine_->Driver(), name_);
    opened_ = engine_->Open(db_, location, error_);
  }
  ~RawConnection() {
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
  }
  bool opened() const { return opened_; }
  const QString &error() const { return error_; }
  QSqlDatabase &db() { return db_; }
  const DbEngine &engine() const { return *engine_; }

  // The rows of a select; false with the reason.
  bool select(const QString &text, QList<QVariantList> &rows) {
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.exec(text)) {
      error_ = q.lastError().text().trimmed();
      return false;
    }
    while (q.next()) {
      QVariantList row;
      for (int c = 0; c < q.record().count(); ++c)
        row << (q.isNull(c) ? QVariant() : q.value(c));
      rows << row;
    }
    return true;
  }
  bool exec(const QString &text) {
    QSqlQuery q(db_);
    if (q.exec(text))
      return true;
    error_ = q.lastError().text().trimmed();
    return false;
  }

private:
  std::unique_ptr<DbEngine> engine_;
  QString name_;
  QSqlDatabase db_;
  QString error_;
  bool opened_ = false;
};

// What a copy takes from its source: each table with its columns in the
// order of TableColumns.h. The two original tables must be there; the others
// are copied when the source has them.
struct Contents {
  QList<QVariantList> people, events, lastFiled, journal;
};
struct CopiedTable {
  const char *name;
  const QStringList &columns;
  QList<QVariantList> Contents::*rows;
  bool required;
};
const QList<CopiedTable> &CopiedTables() {
  static const QList<CopiedTable> tables{
      {"TableUser", UserColumns(), &Contents::people, true},
      {"TableHistory", HistoryColumns(), &Contents::events, true},
      {"TableLastFiled", LastFiledColumns(), &Contents::lastFiled, false},
      {"TableJournal", JournalColumns(), &Contents::journal, false},
  };
  return tables;
}

// The named columns of a table read whole, in that order.
QList<QVariantList> Columns(const ExternalTable &table, const QStringList &columns) {
  QList<int> at;
  for (const QString &c : columns)
    at << table.columnIndex(c);
  QList<QVariantList> rows;
  rows.reserve(table.rows.size());
  for (const QVariantList &row : table.rows) {
    QVariantList picked;
    for (int i : at)
      picked << (i >= 0 ? row.value(i) : QVariant());
    rows << picked;
  }
  return rows;
}

bool ReadFile(const QString &path, Contents &contents, QString &error) {
  std::unique_ptr<ExternalDatabase> file = OpenExternalFile(path, &error);
  if (!file)
    return false;
  for (const CopiedTable &t : CopiedTables()) {
    const QString name = QLatin1String(t.name);
    if (!t.required && !file->tables().contains(name, Qt::CaseInsensitive))
      continue;
    ExternalTable table;
    if (!file->readTable(name, table, t.columns)) {
      error = file->errorString();
      return false;
    }
    contents.*t.rows = Columns(table, t.columns);
  }
  return true;
}

bool ReadServer(const QString &uri, Contents &contents, QString &error) {
  RawConnection from(uri);
  bool ok = from.opened();
  for (const CopiedTable &t : CopiedTables()) {
    const QString name = QLatin1String(t.name);
    QList<QVariantList> present;
    ok = ok && (t.required ||
                from.select("SELECT to_regclass('" + name.toLower() + "') IS NOT NULL", present));
    if (ok && (t.required || present.value(0).value(0).toBool()))
      ok = from.select("SELECT " + t.columns.join(u',') + " FROM " + name + " ORDER BY 1",
                       contents.*t.rows);
  }
  if (!ok)
    error = from.error();
  return ok;
}

// Inserts rows into a table: in one stream where the engine has one, else in
// batches of one statement each, every value bound.
bool InsertRows(DbConnection &to, const QString &table, const QStringList &columns,
                const QList<QVariantList> &rows) {
  // A server takes the rows in one stream.
  if (const std::optional<bool> copied = to.CopyRows(table, columns, rows))
    return *copied;
  constexpr qsizetype Batch = 400;
  const QString one = u'(' + QStringList(columns.size(), QStringLiteral("?")).join(u',') + u')';
  const QString head = "INSERT INTO " + table + " (" + columns.join(u',') + ") VALUES ";
  QSqlQuery q;
  qsizetype prepared = 0;
  for (qsizetype start = 0; start < rows.size(); start += Batch) {
    const qsizetype n = std::min(Batch, rows.size() - start);
    if (n != prepared) {
      if (!to.Prepare(q, head + QStringList(n, one).join(u',')))
        return false;
      prepared = n;
    }
    int position = 0;
    for (qsizetype r = start; r < start + n; ++r)
      for (const QVariant &value : rows[r])
        q.bindValue(position++, value);
    if (!to.Ok(q.exec(), q))
      return false;
  }
  return true;
}

} // namespace

QString ServerSchema() {
  return QString::fromUtf8(ServerSchemaText);
}

QStringList SqlStatementsOf(const QString &script) {
  QStringList lines;
  for (const QString &line : script.split(u'\n'))
    if (!line.trimmed().startsWith(QLatin1String("--")))
      lines << line;
  QStringList statements;
  for (const QString &statement : lines.join(u'\n').split(u';'))
    if (!statement.trimmed().isEmpty())
      statements << statement.trimmed();
  return statements;
}

AdminResult InitServerDatabase(const QString &uri) {
  if (!IsServerLocation(uri))
    return Fail(Outcome::Refused,
                QStringLiteral("%1 is no postgresql:// URI; a SQLite database is made with "
                               "sqlite3 FILE < db/schema.sql.")
                    .arg(uri));
  RawConnection server(uri);
  if (!server.opened())
    return Fail(Outcome::Failed, QStringLiteral("Cannot connect to %1: %2")
                                     .arg(ShownLocation(uri), OneLine(server.error())));
  QList<QVariantList> tables;
  if (!server.select(QStringLiteral("SELECT table_name FROM information_schema.tables "
                                    "WHERE table_schema = current_schema() ORDER BY 1"),
                     tables))
    return Fail(Outcome::Failed, server.error());
  if (!tables.isEmpty())
    return Fail(Outcome::Refused,
                QStringLiteral("%1 is not empty (it holds %2 tables, %3 the first); nothing was "
                               "created.")
                    .arg(ShownLocation(uri))
                    .arg(tables.size())
                    .arg(tables.first().value(0).toString()));
  bool ok = server.exec(QStringLiteral("BEGIN"));
  for (const QString &statement : SqlStatementsOf(ServerSchema()))
    ok = ok && server.exec(statement);
  ok = ok && server.exec(QStringLiteral("COMMIT"));
  if (!ok) {
    const QString why = server.error();
    server.exec(QStringLiteral("ROLLBACK"));
    return Fail(Outcome::Failed, QStringLiteral("Cannot create the tables: %1").arg(OneLine(why)));
  }
  AdminResult r;
  r.outcome = Outcome::Done;
  r.lines << QStringLiteral("Created the tables of layout version %1 in %2.")
                 .arg(CurrentSchemaVersion)
                 .arg(ShownLocation(uri));
  return r;
}

AdminResult CopyDatabase(const QString &from, const QString &to) {
  Contents contents;
  QString error;
  if (!(IsServerLocation(from) ? ReadServer(from, contents, error)
                               : ReadFile(from, contents, error)))
    return Fail(Outcome::Failed,
                QStringLiteral("Cannot read %1: %2").arg(ShownLocation(from), OneLine(error)));

  DbConnection target;
  target.SetLocation(to);
  QSqlQuery q;
  if (!target.Exec(q, QStringLiteral("SELECT (SELECT COUNT(*) FROM TableUser) + "
                                     "(SELECT COUNT(*) FROM TableHistory)")) ||
      !q.next())
    return Fail(
        Outcome::Failed,
        QStringLiteral("Cannot use %1: %2").arg(ShownLocation(to), OneLine(target.LastError())));
  if (q.value(0).toLongLong() > 0)
    return Fail(Outcome::Refused,
                QStringLiteral("%1 already holds people or events; a copy goes into an empty "
                               "database only. Nothing was copied.")
                    .arg(ShownLocation(to)));
  q.finish();
  if (target.Schema().outcome != SchemaState::Outcome::UpToDate)
    return Fail(Outcome::Refused, QStringLiteral("%1 is not of the current layout: %2")
                                      .arg(ShownLocation(to), target.Schema().error));

  const bool copied = target.InTransaction([&] {
    for (const CopiedTable &t : CopiedTables())
      if (!InsertRows(target, QLatin1String(t.name), t.columns, contents.*t.rows))
        return false;
    // Keys the server generates from now on come after the copied ones.
    QSqlQuery next;
    return target.Engine() != DatabaseEngine::PostgreSql ||
           (target.Exec(next, QStringLiteral("SELECT setval(pg_get_serial_sequence('tableuser', "
                                             "'userid'), COALESCE(MAX(UserId), 0) + 1, false) "
                                             "FROM TableUser")) &&
            target.Exec(next, QStringLiteral("SELECT setval(pg_get_serial_sequence("
                                             "'tablejournal', 'journalid'), "
                                             "COALESCE(MAX(JournalId), 0) + 1, false) "
                                             "FROM TableJournal")));
  });
  if (!copied)
    return Fail(Outcome::Failed, QStringLiteral("The copy into %1 failed (%2); nothing was copied.")
                                     .arg(ShownLocation(to), OneLine(target.LastError())));
  AdminResult r;
  r.outcome = Outcome::Done;
  const auto people = [](qsizetype n) {
    return n == 1 ? QStringLiteral("1 person") : QStringLiteral("%1 people").arg(n);
  };
  r.lines << QStringLiteral("Copied %1, %2 events, what was last filed from %3 "
                            "instruments and %4 journal rows from %5 into %6.")
                 .arg(people(contents.people.size()))
                 .arg(contents.events.size())
                 .arg(contents.lastFiled.size())
                 .arg(contents.journal.size())
                 .arg(ShownLocation(from), ShownLocation(to));
  return r;
}

AdminResult CheckDatabase(const QString &location) {
  RawConnection db(location);
  if (!db.opened())
    return Fail(
        Outcome::Failed,
        QStringLiteral("Cannot open %1: %2").arg(ShownLocation(location), OneLine(db.error())));
  AdminResult r;
  QList<QVariantList> none;
  for (const char *table : {"TableUser", "TableHistory"})
    if (!db.select(QStringLiteral("SELECT 1 FROM %1 WHERE 1 = 0").arg(QLatin1String(table)),
                   none)) {
      r.outcome = Outcome::Problems;
      r.lines << QStringLiteral("%1 has no table %2 (%3); vx4418-db init makes the tables of a "
                                "server database.")
                     .arg(ShownLocation(location), QLatin1String(table), OneLine(db.error()));
      return r;
    }
  QString error;
  const std::optional<int> version = db.engine().ReadVersion(db.db(), error);
  if (!version)
    return Fail(Outcome::Failed,
                QStringLiteral("Cannot read %1: %2").arg(ShownLocation(location), OneLine(error)));
  if (*version > CurrentSchemaVersion)
    r.lines << QStringLiteral("The layout version is %1, newer than this program's %2.")
                   .arg(*version)
                   .arg(CurrentSchemaVersion);
  else if (*version < CurrentSchemaVersion)
    r.lines << QStringLiteral("The layout version is %1; the program brings it to %2 when it "
                              "opens the database.")
                   .arg(*version)
                   .arg(CurrentSchemaVersion);

  QList<QVariantList> indexes;
  if (!db.select(db.engine().IndexListStatement(), indexes))
    return Fail(Outcome::Failed, db.error());
  QStringList present;
  for (const QVariantList &row : indexes)
    present << row.value(0).toString().toLower();
  for (const char *index :
       {"IX_TableHistory_UserId", "IX_TableHistory_DeviceId", "IX_TableHistory_EventType",
        "IX_TableUser_DeviceId", "UX_TableUser_Holder"})
    if (!present.contains(QString::fromLatin1(index).toLower()))
      r.lines << QStringLiteral("The index %1 is missing.").arg(QLatin1String(index));

  QList<QVariantList> shared;
  if (!db.select(QStringLiteral("SELECT u.DeviceId, u.UserId, u.UserSecondName, u.UserFirstName, "
                                "u.UserMiddleName FROM TableUser u WHERE u.DeviceId IN "
                                "(SELECT DeviceId FROM TableUser WHERE DeviceId >= 1 "
                                "GROUP BY DeviceId HAVING COUNT(*) > 1) "
                                "ORDER BY u.DeviceId, u.UserId"),
                 shared))
    return Fail(Outcome::Failed, db.error());
  for (const QVariantList &row : shared)
    r.lines << QStringLiteral("Instrument %1 is held by more than one person: %2 (key %3).")
                   .arg(row.value(0).toString(),
                        QStringList{row.value(2).toString(), row.value(3).toString(),
                                    row.value(4).toString()}
                            .join(u' ')
                            .simplified(),
                        row.value(1).toString());
  r.outcome = r.lines.isEmpty() ? Outcome::Done : Outcome::Problems;
  if (r.lines.isEmpty())
    r.lines << QStringLiteral("%1: no problems found.").arg(ShownLocation(location));
  return r;
}
