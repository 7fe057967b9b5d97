#include "import/SqliteExternalDatabase.h"

#include <QAtomicInt>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <QtEndian>
#include <sqlite3.h>

namespace {

// The database header: page size at offset 16, the change counter at 24, the
// page count at 28 (valid while the counter equals the copy at 92).
QString HeaderFault(const QByteArray &head, qint64 size) {
  constexpr int HeaderSize = 100;
  if (size < HeaderSize || head.size() < HeaderSize)
    return QStringLiteral("The database file is truncated.");
  const auto *bytes = reinterpret_cast<const uchar *>(head.constData());
  qint64 pageSize = qFromBigEndian<quint16>(bytes + 16);
  if (pageSize == 1)
    pageSize = 65536;
  if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0)
    return QStringLiteral("The database file is damaged.");
  const quint32 pageCount = qFromBigEndian<quint32>(bytes + 28);
  const bool countValid =
      qFromBigEndian<quint32>(bytes + 24) == qFromBigEndian<quint32>(bytes + 92);
  if (size < pageSize || (countValid && size < pageSize * qint64(pageCount)))
    return QStringLiteral("The database file is truncated.");
  return QString();
}

QString QuotedName(const QString &name) {
  QString quoted = name;
  quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QVariant Plain(const QVariant &value) {
  if (value.isNull())
    return QVariant();
  switch (value.typeId()) {
  case QMetaType::Int:
  case QMetaType::UInt:
  case QMetaType::Long:
  case QMetaType::LongLong:
    return QVariant(value.toLongLong());
  case QMetaType::Double:
  case QMetaType::QString:
  case QMetaType::QByteArray:
    return value;
  default:
    return value.toString();
  }
}

} // namespace

SqliteExternalDatabase::SqliteExternalDatabase() {
  static QAtomicInt counter;
  connection_ = QStringLiteral("vx4418_external_%1").arg(counter.fetchAndAddRelaxed(1));
}

SqliteExternalDatabase::~SqliteExternalDatabase() {
  {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    db.close();
  }
  QSqlDatabase::removeDatabase(connection_);
}

std::unique_ptr<ExternalDatabase> SqliteExternalDatabase::open(const QString &path,
                                                               const QByteArray &head, qint64 size,
                                                               QString *error) {
  const QString fault = HeaderFault(head, size);
  if (!fault.isEmpty()) {
    *error = fault;
    return nullptr;
  }
  std::unique_ptr<SqliteExternalDatabase> db(new SqliteExternalDatabase());
  // Bytes 18 and 19 of the header are 2 in write-ahead-log mode.
  const bool wal = head.at(18) == 2 && head.at(19) == 2;
  if (!db->openConnection(path, wal && !QFile::exists(path + QStringLiteral("-wal")))) {
    *error = db->errorString();
    return nullptr;
  }
  return db;
}

bool SqliteExternalDatabase::openConnection(const QString &path, bool walWithoutLog) {
  QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
  if (!db.isValid())
    return fail(QStringLiteral("SQLite databases cannot be read here."));
  if (walWithoutLog) {
    // Nothing waits in a write-ahead log, so the file alone is the database:
    // reading it as unchanging keeps SQLite from leaving its -shm and -wal
    // files beside it.
    db.setDatabaseName(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) +
                       QStringLiteral("?immutable=1"));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
  } else {
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
  }
  if (!db.open())
    return fail(db.lastError().text());

  QSqlQuery query(db);
  query.setForwardOnly(true);
  // The file comes from elsewhere: its schema may not run functions of ours.
  query.exec(QStringLiteral("PRAGMA trusted_schema = OFF"));
  if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                 "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'")))
    return fail(query.lastError().text());
  while (query.next())
    tables_ << query.value(0).toString();
  if (query.lastError().isValid())
    return fail(query.lastError().text());
  return true;
}

// Values longer than the limit then fail in SQLite itself, before they reach memory.
void SqliteExternalDatabase::applyValueLimit() {
  const QVariant handle = QSqlDatabase::database(connection_, false).driver()->handle();
  if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
    return;
  sqlite3 *sqlite = *static_cast<sqlite3 *const *>(handle.constData());
  if (sqlite)
    sqlite3_limit(sqlite, SQLITE_LIMIT_LENGTH, int(qMin<qint64>(limits().maxValueBytes, INT_MAX)));
}

bool SqliteExternalDatabase::readWholeTable(const QString &name, ExternalTable &table) {
  applyValueLimit();
  QSqlQuery query(QSqlDatabase::database(connection_, false));
  query.setForwardOnly(true);
  if (!query.exec(QStringLiteral("SELECT * FROM ") + QuotedName(name)))
    return fail(
        QStringLiteral("The table %1 cannot be read: %2").arg(name, query.lastError().text()));
  const QSqlRecord record = query.record();
  for (int i = 0; i < record.count(); ++i)
    table.columns << record.fieldName(i);

  ReadBudget budget(limits());
  const int width = int(table.columns.size());
  while (query.next()) {
    if (!budget.takeRow(width))
      return fail(QStringLiteral("The table %1 is too large to import.").arg(name));
    QVariantList row;
    row.reserve(width);
    for (int i = 0; i < width; ++i) {
      row << Plain(query.value(i));
      if (!budget.take(row.constLast()))
        return fail(QStringLiteral("The table %1 is too large to import.").arg(name));
    }
    table.rows << std::move(row);
  }
  if (query.lastError().isValid())
    return fail(QStringLiteral("The table %1 cannot be read whole: %2")
                    .arg(name, query.lastError().text()));
  return true;
}
