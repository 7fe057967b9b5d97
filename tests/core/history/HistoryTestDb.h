#pragma once
// The databases the data-layer tests run on, and raw history records.
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <QtEndian>
#include <cstring>
#include <sqlite3.h>

#include "db/DatabaseAdmin.h"

// The engine the data-layer tests run on: SQLite unless VX4418_TEST_ENGINE
// says "postgresql"; then a server is reached through libpq's environment
// (PGHOST, PGPORT, PGUSER, PGPASSWORD), as pg_virtualenv sets it.
inline bool TestingOnServer() {
  return qEnvironmentVariable("VX4418_TEST_ENGINE") == QLatin1String("postgresql");
}

// A fresh database of the current layout for one test, reached directly (not
// through the data module) to set up rows and look at what the program wrote:
// a private copy of the supplied SQLite file, or a new database on the test
// server made from db/schema-postgresql.sql and dropped at the end.
class HistoryTestDb {
public:
  enum class Layout { Current, None };
  // A database of the current layout; with Layout::None on a server, an
  // empty database (no tables). A file, whatever the tests run on, for
  // onServer false.
  explicit HistoryTestDb(Layout layout = Layout::Current, bool onServer = TestingOnServer())
      : server_(onServer) {
    if (server_) {
      createOnServer(layout);
      return;
    }
    path_ = dir_.filePath(QStringLiteral("dbVX4418.db"));
    ok_ = dir_.isValid() && QFile::copy(QStringLiteral(VX_SUPPLIED_DB), path_);
    QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner);
  }
  ~HistoryTestDb() {
    if (db_)
      sqlite3_close(db_);
    if (server_)
      dropOnServer();
  }
  HistoryTestDb(const HistoryTestDb &) = delete;
  HistoryTestDb &operator=(const HistoryTestDb &) = delete;

  bool ok() const { return ok_; }
  bool onServer() const { return server_; }
  // Where the data module finds it: the file's path, or the server URI.
  const QString &path() const { return path_; }
  QString dirPath() const { return dir_.path(); }

  // Runs statements; false on any error.
  bool exec(const QString &sql) {
    if (server_) {
      QSqlQuery q(QSqlDatabase::database(connection_));
      return q.exec(sql);
    }
    return sqlite3_exec(handle(), sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  // Every row of a select, each cell as a QVariant (NULL as an invalid one).
  QList<QVariantList> rows(const QString &sql) {
    QList<QVariantList> out;
    if (server_) {
      QSqlQuery q(QSqlDatabase::database(connection_));
      if (!q.exec(sql))
        qWarning() << q.lastError().text() << sql;
      while (q.next()) {
        QVariantList row;
        for (int c = 0; c < q.record().count(); ++c)
          row << (q.isNull(c) ? QVariant() : q.value(c));
        out << row;
      }
      return out;
    }
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(handle(), sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
      return out;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      QVariantList row;
      for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
        switch (sqlite3_column_type(stmt, c)) {
        case SQLITE_INTEGER:
          row << qlonglong(sqlite3_column_int64(stmt, c));
          break;
        case SQLITE_FLOAT:
          row << sqlite3_column_double(stmt, c);
          break;
        case SQLITE_NULL:
          row << QVariant();
          break;
        case SQLITE_BLOB:
          row << QByteArray(static_cast<const char *>(sqlite3_column_blob(stmt, c)),
                            sqlite3_column_bytes(stmt, c));
          break;
        default:
          row << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, c)),
                                   sqlite3_column_bytes(stmt, c));
        }
      }
      out << row;
    }
    sqlite3_finalize(stmt);
    return out;
  }
  QVariant scalar(const QString &sql) {
    const auto r = rows(sql);
    return r.isEmpty() || r.first().isEmpty() ? QVariant() : r.first().first();
  }
  int count(const QString &table, const QString &where = {}) {
    return scalar("SELECT COUNT(*) FROM " + table + (where.isEmpty() ? "" : " WHERE " + where))
        .toInt();
  }

  // Connects the test's own connection again (after the server restarted).
  void reconnect() {
    if (!server_)
      return;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    db.close();
    db.open();
  }

  // The layout version the database says it has taken, and setting it.
  int version() {
    if (server_)
      return hasTable("TableSchema") ? scalar("SELECT MAX(Version) FROM TableSchema").toInt() : 0;
    return scalar("PRAGMA user_version").toInt();
  }
  bool setVersion(int version) {
    if (server_)
      return exec("CREATE TABLE IF NOT EXISTS TableSchema (Version integer NOT NULL)") &&
             exec("DELETE FROM TableSchema") &&
             exec(QStringLiteral("INSERT INTO TableSchema VALUES (%1)").arg(version));
    return exec(QStringLiteral("PRAGMA user_version = %1").arg(version));
  }
  bool hasTable(const QString &name) {
    return server_ ? scalar("SELECT to_regclass('" + name.toLower() + "') IS NOT NULL").toBool()
                   : count("sqlite_master", "name = '" + name + "'") > 0;
  }
  // Leaves the two original tables only, empty, as the oldest databases hold them.
  bool makeOldestLayout() {
    if (server_)
      return exec("DROP TABLE TableUser, TableHistory, TableLastFiled, TableJournal, "
                  "TableDeletedHistory, TableSchema") &&
             exec("CREATE TABLE TableUser (UserId bigint GENERATED BY DEFAULT AS IDENTITY "
                  "PRIMARY KEY, UserSecondName text, UserFirstName text, UserMiddleName text, "
                  "DeviceId bigint DEFAULT -1)") &&
             exec("CREATE TABLE TableHistory (DeviceId bigint, UserId bigint, DateTimeEvent "
                  "double precision, EventType bigint, EventValue double precision, DEValue "
                  "double precision)");
    if (db_)
      sqlite3_close(db_);
    db_ = nullptr;
    return QFile::resize(path_, 0) && // an empty file is an empty database
           exec("CREATE TABLE TableUser (UserId INTEGER PRIMARY KEY, UserSecondName TEXT, "
                "UserFirstName TEXT, UserMiddleName TEXT, DeviceId INTEGER DEFAULT -1);"
                "CREATE TABLE TableHistory (DeviceId INTEGER, UserId INTEGER, DateTimeEvent "
                "REAL, EventType INTEGER, EventValue REAL, DEValue REAL);");
  }

  // The layout a database of `version` has, as the program of that version
  // left it, with its rows kept.
  bool makeLayout(int version) {
    if (!makeOldestLayout())
      return false;
    const QString blob = server_ ? QStringLiteral("bytea") : QStringLiteral("BLOB");
    if (version >= 1 && !exec("CREATE TABLE TableLastFiled (DeviceId bigint PRIMARY KEY, "
                              "FiledLength bigint NOT NULL, FiledHash " +
                              blob + " NOT NULL)"))
      return false;
    if (version >= 2 && !exec("CREATE UNIQUE INDEX UX_TableUser_Holder ON TableUser (DeviceId) "
                              "WHERE DeviceId >= 1"))
      return false;
    if (version >= 3 &&
        !exec(server_ ? "CREATE TABLE TableJournal (JournalId bigint GENERATED BY DEFAULT AS "
                        "IDENTITY PRIMARY KEY, JournalTime double precision NOT NULL, Desk text, "
                        "OsUser text, Action bigint NOT NULL, UserId bigint, DeviceId bigint, "
                        "EventCount bigint)"
                      : "CREATE TABLE TableJournal (JournalId INTEGER PRIMARY KEY, JournalTime "
                        "REAL NOT NULL, Desk TEXT, OsUser TEXT, Action INTEGER NOT NULL, UserId "
                        "INTEGER, DeviceId INTEGER, EventCount INTEGER)"))
      return false;
    return version == 0 || setVersion(version);
  }

  // A trigger `name` that makes the database refuse `when` ("BEFORE INSERT
  // ON TableHistory") with `message`, for the rows where `condition` holds
  // ("NEW.EventType = 9") when one is given; allow() takes it away again.
  bool refuse(const QString &name, const QString &when, const QString &message,
              const QString &condition = {}) {
    triggers_[name] = when.section(QStringLiteral(" ON "), 1).trimmed();
    if (!server_)
      return exec("CREATE TRIGGER " + name + u' ' + when +
                  (condition.isEmpty() ? QString() : " WHEN " + condition) +
                  " BEGIN SELECT RAISE(ABORT, '" + message + "'); END");
    return exec("CREATE FUNCTION " + name +
                "_f() RETURNS trigger LANGUAGE plpgsql AS "
                "$$BEGIN RAISE EXCEPTION '" +
                message + "'; END$$") &&
           exec("CREATE TRIGGER " + name + u' ' + when + " FOR EACH ROW" +
                (condition.isEmpty() ? QString() : " WHEN (" + condition + u')') +
                " EXECUTE FUNCTION " + name + "_f()");
  }
  bool allow(const QString &name) {
    return exec("DROP TRIGGER " + name + (server_ ? " ON " + triggers_.value(name) : QString()));
  }

private:
  sqlite3 *handle() {
    if (!db_)
      sqlite3_open_v2(path_.toUtf8().constData(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    return db_;
  }

  static int &serial() {
    static int n = 0;
    return n;
  }
  // Runs the statements of a schema file, one at a time.
  static bool load(QSqlDatabase &db, const QString &file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
      return false;
    QSqlQuery q(db);
    for (const QString &statement : SqlStatementsOf(QString::fromUtf8(f.readAll())))
      if (!q.exec(statement)) {
        qWarning() << q.lastError().text() << statement;
        return false;
      }
    return true;
  }
  void createOnServer(Layout layout) {
    name_ = QStringLiteral("vxtest_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial());
    connection_ = QStringLiteral("HistoryTestDb-") + name_;
    {
      QSqlDatabase admin =
          QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection_ + "-admin");
      if (!admin.open()) {
        qWarning() << "no PostgreSQL server for the tests (run them under pg_virtualenv):"
                   << admin.lastError().text();
      } else {
        QSqlQuery q(admin);
        ok_ = q.exec("DROP DATABASE IF EXISTS " + name_) && q.exec("CREATE DATABASE " + name_);
      }
    }
    QSqlDatabase::removeDatabase(connection_ + "-admin");
    if (!ok_)
      return;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection_);
    db.setDatabaseName(name_);
    ok_ = db.open() && (layout == Layout::None ||
                        load(db, QStringLiteral(VX_SOURCE_DIR "/db/schema-postgresql.sql")));
    path_ = QStringLiteral("postgresql:///") + name_;
  }
  void dropOnServer() {
    QSqlDatabase::removeDatabase(connection_);
    {
      QSqlDatabase admin =
          QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection_ + "-admin");
      if (admin.open())
        QSqlQuery(admin).exec("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    }
    QSqlDatabase::removeDatabase(connection_ + "-admin");
  }

  bool server_;
  QTemporaryDir dir_;
  QString path_;
  bool ok_ = false;
  sqlite3 *db_ = nullptr;
  QString name_, connection_;        // the server database, and the connection to it
  QHash<QString, QString> triggers_; // the table of each trigger
};

// One raw history record as an instrument writes it.
struct RawRecord {
  int day = 1, month = 1, year = 24, hour = 0, minute = 0, kind = 16;
  float rate = 0;
  quint16 channel = 0;
  float dose = 0;
  quint32 extra = 0;

  QByteArray bytes() const {
    QByteArray b(20, '\0');
    auto *p = reinterpret_cast<uchar *>(b.data());
    p[0] = uchar(day), p[1] = uchar(month), p[2] = uchar(year), p[3] = uchar(hour),
    p[4] = uchar(minute), p[5] = uchar(kind);
    quint32 bits;
    std::memcpy(&bits, &rate, 4);
    qToLittleEndian(bits, p + 6);
    qToLittleEndian(channel, p + 10);
    std::memcpy(&bits, &dose, 4);
    qToLittleEndian(bits, p + 12);
    qToLittleEndian(extra, p + 16);
    return b;
  }
};

inline const std::uint8_t *Bytes(const QByteArray &b) {
  return reinterpret_cast<const std::uint8_t *>(b.constData());
}
