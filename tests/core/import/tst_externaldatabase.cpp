// Reading other database files for the import: Access files of earlier
// installations (checked against mdb-export) and databases of this program.
#include "import/ExternalDatabase.h"
#include "import/Isolated.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <thread>

namespace {

const QString NullMark = QStringLiteral("@NULL@");

struct CsvCell {
  QString text;
  bool quoted = false;
};
using CsvRow = QList<CsvCell>;

// The comma-separated output of mdb-export: quoted fields may hold commas,
// doubled quotes and line breaks.
QList<CsvRow> ParseCsv(const QString &text) {
  QList<CsvRow> rows;
  CsvRow row;
  CsvCell cell;
  bool inQuotes = false;
  bool any = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (inQuotes) {
      if (c == QLatin1Char('"')) {
        if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
          cell.text += c;
          ++i;
        } else {
          inQuotes = false;
        }
      } else {
        cell.text += c;
      }
      continue;
    }
    if (c == QLatin1Char('"')) {
      inQuotes = true;
      cell.quoted = true;
      any = true;
    } else if (c == QLatin1Char(',')) {
      row << cell;
      cell = CsvCell();
      any = true;
    } else if (c == QLatin1Char('\n')) {
      row << cell;
      rows << row;
      row.clear();
      cell = CsvCell();
      any = false;
    } else {
      cell.text += c;
      any = true;
    }
  }
  if (any)
    rows << (row << cell);
  return rows;
}

// Day count since 30 December 1899 of a calendar date and time of day,
// computed from the proleptic Gregorian calendar. Days before the epoch keep
// the time of day as a positive fraction after a minus sign, as Access stores them.
double DayCount(const QDate &date, int secondsOfDay = 0) {
  const qint64 days = date.toJulianDay() - QDate(1899, 12, 30).toJulianDay();
  const double fraction = secondsOfDay / 86400.0;
  return days >= 0 ? double(days) + fraction : double(days) - fraction;
}

// What mdb-export prints for a stored day count with '%Y-%m-%d %H:%M:%S'.
QString ExportedDateTime(double dayCount) {
  if (dayCount < 0.0 || dayCount > 1e6)
    return QStringLiteral("1900-01-00 00:00:00"); // mdb-export leaves these unconverted
  const qint64 day = qint64(dayCount);
  const qint64 seconds = qint64((dayCount - double(day)) * 86400.0 + 0.5);
  const QDate date = QDate(1899, 12, 30).addDays(day);
  return QStringLiteral("%1 %2:%3:%4")
      .arg(date.toString(QStringLiteral("yyyy-MM-dd")))
      .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
      .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

bool LooksLikeDateTime(const QString &text) {
  static const QRegularExpression pattern(
      QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}$"));
  return pattern.match(text).hasMatch();
}

// Compares one value of the reader with the cell mdb-export printed for it;
// an empty text is printed like a NULL.
QString CellMismatch(const QVariant &value, const CsvCell &cell) {
  const bool exportNull = !cell.quoted && cell.text == NullMark;
  if (value.isNull() || !value.isValid())
    return exportNull ? QString() : QStringLiteral("NULL read, export has '%1'").arg(cell.text);
  QString mine;
  switch (value.typeId()) {
  case QMetaType::LongLong:
    mine = QString::number(value.toLongLong());
    break;
  case QMetaType::Bool:
    mine = value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    break;
  case QMetaType::Double: {
    const double d = value.toDouble();
    if (LooksLikeDateTime(cell.text)) {
      mine = ExportedDateTime(d);
    } else {
      const QString single = QString::asprintf("%.8g", d);
      mine = single == cell.text ? single : QString::asprintf("%.16g", d);
    }
    break;
  }
  case QMetaType::QString:
    if (value.toString().isEmpty() && exportNull)
      return QString();
    mine = value.toString();
    break;
  case QMetaType::QByteArray:
    if (value.toByteArray().isEmpty() && exportNull)
      return QString();
    mine = QString::fromLatin1(value.toByteArray().toHex().toUpper());
    break;
  default:
    return QStringLiteral("unexpected type %1").arg(QString::fromLatin1(value.typeName()));
  }
  if (exportNull || mine != cell.text)
    return QStringLiteral("read '%1', export has '%2'").arg(mine.left(80), cell.text.left(80));
  return QString();
}

const char *UserTableSql =
    "CREATE TABLE TableUser (UserId INTEGER PRIMARY KEY, UserSecondName TEXT, "
    "UserFirstName TEXT, UserMiddleName TEXT NULL, DeviceId INTEGER DEFAULT -1)";
const char *HistoryTableSql =
    "CREATE TABLE TableHistory (DeviceId INTEGER, UserId INTEGER, DateTimeEvent REAL, "
    "EventType INTEGER, EventValue REAL, DEValue REAL)";

// Creates an SQLite file and runs the statements in it; values bind to "?" in order.
bool MakeSqliteFile(const QString &path, const QList<QPair<QString, QVariantList>> &statements) {
  const QString connection = QStringLiteral("maker_") + path;
  bool ok = true;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(path);
    ok = db.open() && db.transaction();
    for (const auto &[sql, values] : statements) {
      if (!ok)
        break;
      QSqlQuery query(db);
      ok = query.prepare(sql);
      for (const QVariant &v : values)
        query.addBindValue(v);
      ok = ok && query.exec();
      if (!ok)
        qWarning() << sql << query.lastError().text();
    }
    ok = ok && db.commit();
    db.close();
  }
  QSqlDatabase::removeDatabase(connection);
  return ok;
}

QByteArray FileBytes(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteBytes(const QString &path, const QByteArray &bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

#define SKIP_WITHOUT_ACCESS_FILES()                                                                \
  if (!haveAccessFiles())                                                                          \
  QSKIP("The public Access test files are not beside the checkout.")

class TestExternalDatabase : public QObject {
  Q_OBJECT

private:
  QString accessDir_;
  QString mdbExport_;
  QTemporaryDir temp_;

  QString accessFile(const QString &name) const { return accessDir_ + QLatin1Char('/') + name; }
  bool haveAccessFiles() const { return !accessDir_.isEmpty(); }
  QString tempPath(const QString &name) const { return temp_.filePath(name); }
  QString programLayoutFile(const QString &name, const QList<QPair<QString, QVariantList>> &rows);

private slots:
  void initTestCase();

  // Access files of earlier installations.
  void accessListsUserTables();
  void accessTableMatchesExport_data();
  void accessTableMatchesExport();
  void accessDayCountsExact();
  void accessMissingTableOrColumn();
  void accessDamagedFiles_data();
  void accessDamagedFiles();
  void accessLimits();

  // Databases of this program.
  void sqliteReadsProgramLayout();
  void sqliteMissingTableOrColumn();
  void sqliteBadFiles_data();
  void sqliteBadFiles();
  void sqliteLimits();
  void sqliteWriteAheadLogLeavesNothingBehind();

  void kindFollowsContentNotName();

  // Work that may fault, run apart from the program.
  void isolatedWorkReturnsItsOutput();
  void isolatedFaultsAreContained_data();
  void isolatedFaultsAreContained();
};

void TestExternalDatabase::initTestCase() {
  QVERIFY(temp_.isValid());
  // The shared folder sits beside the checkout; VX_SHARED_DIR points elsewhere when it does not.
  QString shared = qEnvironmentVariable("VX_SHARED_DIR");
  if (shared.isEmpty())
    shared = QStringLiteral(VX_SOURCE_DIR "/../shared");
  const QString dir = QDir::cleanPath(shared + QStringLiteral("/testdata/access"));
  if (QFile::exists(dir + QStringLiteral("/nwind.mdb")) &&
      QFile::exists(dir + QStringLiteral("/DateTestDatabase.mdb")))
    accessDir_ = dir;
  mdbExport_ = QStandardPaths::findExecutable(QStringLiteral("mdb-export"));
}

QString TestExternalDatabase::programLayoutFile(const QString &name,
                                                const QList<QPair<QString, QVariantList>> &rows) {
  QList<QPair<QString, QVariantList>> statements{{QString::fromLatin1(UserTableSql), {}},
                                                 {QString::fromLatin1(HistoryTableSql), {}}};
  statements << rows;
  const QString path = tempPath(name);
  return MakeSqliteFile(path, statements) ? path : QString();
}

void TestExternalDatabase::accessListsUserTables() {
  SKIP_WITHOUT_ACCESS_FILES();
  QString error;
  auto nwind = OpenExternalFile(accessFile(QStringLiteral("nwind.mdb")), &error);
  QVERIFY2(nwind, qPrintable(error));
  QCOMPARE(nwind->kind(), ExternalDatabase::Kind::Access);
  const QStringList expected{
      QStringLiteral("Order Details"), QStringLiteral("Orders"),     QStringLiteral("Products"),
      QStringLiteral("Shippers"),      QStringLiteral("Categories"), QStringLiteral("Customers"),
      QStringLiteral("Employees"),     QStringLiteral("Suppliers"),  QStringLiteral("Umsätze")};
  QCOMPARE(nwind->tables(), expected);

  auto dates = OpenExternalFile(accessFile(QStringLiteral("DateTestDatabase.mdb")), &error);
  QVERIFY2(dates, qPrintable(error));
  QCOMPARE(dates->tables(), QStringList{QStringLiteral("DateTest")});
}

void TestExternalDatabase::accessTableMatchesExport_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<QString>("table");
  for (const char *table : {"Order Details", "Orders", "Products", "Shippers", "Categories",
                            "Customers", "Employees", "Suppliers", "Umsätze"})
    QTest::newRow(table) << QStringLiteral("nwind.mdb") << QString::fromUtf8(table);
  QTest::newRow("DateTest") << QStringLiteral("DateTestDatabase.mdb") << QStringLiteral("DateTest");
}

void TestExternalDatabase::accessTableMatchesExport() {
  QFETCH(QString, file);
  QFETCH(QString, table);
  SKIP_WITHOUT_ACCESS_FILES();
  if (mdbExport_.isEmpty())
    QSKIP("mdb-export is not installed.");

  QProcess exporter;
  const QString dateFormat = QStringLiteral("%Y-%m-%d %H:%M:%S");
  exporter.start(mdbExport_, {QStringLiteral("-D"), dateFormat, QStringLiteral("-T"), dateFormat,
                              QStringLiteral("-0"), NullMark, QStringLiteral("-b"),
                              QStringLiteral("hex"), accessFile(file), table});
  QVERIFY(exporter.waitForFinished(60000));
  QCOMPARE(exporter.exitCode(), 0);
  const QList<CsvRow> exported = ParseCsv(QString::fromUtf8(exporter.readAllStandardOutput()));
  QVERIFY(!exported.isEmpty());

  auto db = OpenExternalFile(accessFile(file));
  QVERIFY(db);
  ExternalTable read;
  QVERIFY2(db->readTable(table, read), qPrintable(db->errorString()));
  QCOMPARE(read.name, table);

  QStringList header;
  for (const CsvCell &cell : exported.first())
    header << cell.text;
  QCOMPARE(read.columns, header);
  QCOMPARE(read.rows.size(), exported.size() - 1);
  for (qsizetype r = 0; r < read.rows.size(); ++r) {
    const QVariantList &row = read.rows.at(r);
    const CsvRow &expected = exported.at(r + 1);
    QCOMPARE(row.size(), expected.size());
    for (qsizetype c = 0; c < row.size(); ++c) {
      const QString mismatch = CellMismatch(row.at(c), expected.at(c));
      QVERIFY2(
          mismatch.isEmpty(),
          qPrintable(
              QStringLiteral("row %1 column %2: %3").arg(r).arg(read.columns.at(c), mismatch)));
    }
  }
}

void TestExternalDatabase::accessDayCountsExact() {
  SKIP_WITHOUT_ACCESS_FILES();
  auto db = OpenExternalFile(accessFile(QStringLiteral("DateTestDatabase.mdb")));
  QVERIFY(db);
  ExternalTable table;
  QVERIFY2(db->readTable(QStringLiteral("datetest"), table,
                         {QStringLiteral("IDCol"), QStringLiteral("DateTimeCol"),
                          QStringLiteral("DateCol"), QStringLiteral("TimeCol")}),
           qPrintable(db->errorString()));
  // The dates each row holds, by IDCol; the text columns name the case.
  const QDate today(2021, 12, 2);
  const QMap<qint64, QList<QDate>> expected{
      {1, {today, today, today}},
      {2, {QDate(9999, 1, 1), QDate(9999, 1, 1), QDate(9999, 1, 1)}},
      {3, {QDate(1898, 1, 1), QDate(1899, 1, 1), QDate(1900, 1, 1)}},
      {4, {QDate(632, 1, 1), QDate(633, 1, 1), QDate(634, 1, 1)}},
      {5, {today, today, today}},
      {6, {today, today, today}}};
  QCOMPARE(table.rows.size(), expected.size());
  const int id = table.columnIndex(QStringLiteral("IDCol"));
  const QList<int> dateColumns{table.columnIndex(QStringLiteral("DateTimeCol")),
                               table.columnIndex(QStringLiteral("DateCol")),
                               table.columnIndex(QStringLiteral("TimeCol"))};
  for (const QVariantList &row : table.rows) {
    QCOMPARE(row.at(id).typeId(), QMetaType::LongLong);
    const QList<QDate> dates = expected.value(row.at(id).toLongLong());
    QCOMPARE(dates.size(), 3);
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(row.at(dateColumns.at(i)).typeId(), QMetaType::Double);
      QCOMPARE(row.at(dateColumns.at(i)).toDouble(), DayCount(dates.at(i)));
    }
  }
}

void TestExternalDatabase::accessMissingTableOrColumn() {
  SKIP_WITHOUT_ACCESS_FILES();
  auto db = OpenExternalFile(accessFile(QStringLiteral("nwind.mdb")));
  QVERIFY(db);
  ExternalTable table;
  QVERIFY(!db->readTable(QStringLiteral("TableUser"), table));
  QVERIFY(db->errorString().contains(QStringLiteral("TableUser")));

  QVERIFY(!db->readTable(QStringLiteral("Shippers"), table,
                         {QStringLiteral("ShipperID"), QStringLiteral("DeviceId")}));
  QVERIFY(db->errorString().contains(QStringLiteral("DeviceId")));
  QVERIFY(table.rows.isEmpty());

  // Table names are matched as the database engine matches them, without case.
  QVERIFY(db->readTable(QStringLiteral("umsätze"), table, {QStringLiteral("orderid")}));
  QCOMPARE(table.name, QStringLiteral("Umsätze"));
  QCOMPARE(table.rows.size(), 830);
}

void TestExternalDatabase::accessDamagedFiles_data() {
  QTest::addColumn<int>("damage");
  QTest::addColumn<bool>("mustFail");
  QTest::newRow("cut inside a page") << 0 << true;
  QTest::newRow("cut to half its pages") << 1 << true;
  QTest::newRow("only the first page") << 2 << true;
  QTest::newRow("random bytes over data pages") << 3 << false;
  QTest::newRow("signature and nothing else") << 4 << true;
  // One byte in the catalog page of DateTestDatabase.mdb that makes the
  // reading library itself fault.
  QTest::newRow("catalog that crashes the library") << 5 << true;
}

void TestExternalDatabase::accessDamagedFiles() {
  QFETCH(int, damage);
  QFETCH(bool, mustFail);
  SKIP_WITHOUT_ACCESS_FILES();
  QByteArray bytes = FileBytes(accessFile(QStringLiteral("nwind.mdb")));
  QVERIFY(bytes.size() > 100000);
  constexpr int Page = 2048;
  switch (damage) {
  case 0:
    bytes.truncate(bytes.size() - 1000);
    break;
  case 1:
    bytes.truncate(bytes.size() / Page / 2 * Page);
    break;
  case 2:
    bytes.truncate(Page);
    break;
  case 3: {
    QRandomGenerator random(4418);
    for (int i = 0; i < 200; ++i) {
      const qsizetype at = 10 * Page + random.bounded(int(bytes.size() - 11 * Page));
      bytes[at] = char(random.bounded(256));
    }
    break;
  }
  case 4:
    bytes = bytes.left(32);
    break;
  case 5:
    bytes = FileBytes(accessFile(QStringLiteral("DateTestDatabase.mdb")));
    QVERIFY(bytes.size() > 8247);
    bytes[8247] = char(60);
    break;
  }
  const bool whole = ReadExternalDatabaseBytes(bytes);
  if (mustFail)
    QVERIFY(!whole);
}

void TestExternalDatabase::accessLimits() {
  SKIP_WITHOUT_ACCESS_FILES();
  auto db = OpenExternalFile(accessFile(QStringLiteral("nwind.mdb")));
  QVERIFY(db);
  ExternalTable table;
  // Employees holds photos of some tens of kilobytes.
  db->setLimits({qint64(64) << 20, 4096});
  QVERIFY(!db->readTable(QStringLiteral("Employees"), table));
  QVERIFY(db->readTable(QStringLiteral("Shippers"), table));
  db->setLimits({100000, qint64(1) << 20});
  QVERIFY(!db->readTable(QStringLiteral("Orders"), table));
  QVERIFY(db->errorString().contains(QStringLiteral("too large")));
  QVERIFY(table.rows.isEmpty());
}

void TestExternalDatabase::sqliteReadsProgramLayout() {
  const QString longName(300, QChar(0x0416)); // Ж
  const double withSeconds = DayCount(QDate(2024, 3, 5), 13 * 3600 + 45 * 60 + 17);
  const QString insertUser = QStringLiteral(
      "INSERT INTO TableUser (UserSecondName, UserFirstName, UserMiddleName, DeviceId) "
      "VALUES (?, ?, ?, ?)");
  const QString insertEvent = QStringLiteral("INSERT INTO TableHistory VALUES (?, ?, ?, ?, ?, ?)");
  const QVariant null;
  const QString path = programLayoutFile(
      QStringLiteral("layout.db"),
      {{insertUser, {QStringLiteral("O'Neill"), QStringLiteral("Иван"), null, -1}},
       {insertUser, {null, null, QStringLiteral(""), 1234567}},
       {insertUser, {longName, longName, longName, 7}},
       {insertEvent, {1234567, 1, withSeconds, 1, 2.5e-6, 0.000125}},
       {insertEvent, {1234567, 1, null, 5, null, null}},
       {insertEvent, {7, 3, 45000.5, 42, -1.0, null}},
       {insertEvent, {7, 3, 45000.0, null, null, null}}});
  QVERIFY(!path.isEmpty());

  QString error;
  auto db = OpenExternalFile(path, &error);
  QVERIFY2(db, qPrintable(error));
  QCOMPARE(db->kind(), ExternalDatabase::Kind::Sqlite);
  QCOMPARE(db->tables(),
           (QStringList{QStringLiteral("TableUser"), QStringLiteral("TableHistory")}));

  ExternalTable users;
  QVERIFY2(db->readTable(QStringLiteral("TableUser"), users,
                         {QStringLiteral("UserId"), QStringLiteral("UserSecondName"),
                          QStringLiteral("UserFirstName"), QStringLiteral("UserMiddleName"),
                          QStringLiteral("DeviceId")}),
           qPrintable(db->errorString()));
  QCOMPARE(users.columns,
           (QStringList{QStringLiteral("UserId"), QStringLiteral("UserSecondName"),
                        QStringLiteral("UserFirstName"), QStringLiteral("UserMiddleName"),
                        QStringLiteral("DeviceId")}));
  QCOMPARE(users.rows.size(), 3);
  QCOMPARE(users.rows[0][0].typeId(), QMetaType::LongLong);
  QCOMPARE(users.rows[0][1].toString(), QStringLiteral("O'Neill"));
  QCOMPARE(users.rows[0][2].toString(), QStringLiteral("Иван"));
  QVERIFY(users.rows[0][3].isNull());
  QCOMPARE(users.rows[0][4], QVariant(qint64(-1)));
  // NULL names stay NULL; an empty middle name stays an empty text.
  QVERIFY(users.rows[1][1].isNull());
  QVERIFY(users.rows[1][2].isNull());
  QVERIFY(!users.rows[1][3].isNull());
  QCOMPARE(users.rows[1][3].toString(), QString());
  QCOMPARE(users.rows[1][4], QVariant(qint64(1234567)));
  QCOMPARE(users.rows[2][1].toString(), longName);
  QCOMPARE(users.rows[2][3].toString().size(), 300);

  ExternalTable history;
  QVERIFY(db->readTable(QStringLiteral("TableHistory"), history));
  QCOMPARE(history.rows.size(), 4);
  const QVariantList &first = history.rows[0];
  QCOMPARE(first[2].typeId(), QMetaType::Double);
  QCOMPARE(first[2].toDouble(), withSeconds); // exact: no rounding of the time of day
  QCOMPARE(first[3], QVariant(qint64(1)));
  QCOMPARE(first[4].toDouble(), 2.5e-6);
  QCOMPARE(first[5].toDouble(), 0.000125);
  QVERIFY(history.rows[1][2].isNull()); // NULL event time kept
  QVERIFY(history.rows[1][4].isNull());
  QCOMPARE(history.rows[2][3], QVariant(qint64(42))); // unknown code passed on
  QVERIFY(history.rows[3][3].isNull());               // NULL code passed on
}

void TestExternalDatabase::sqliteMissingTableOrColumn() {
  const QString noHistory = tempPath(QStringLiteral("nohistory.db"));
  QVERIFY(MakeSqliteFile(noHistory, {{QString::fromLatin1(UserTableSql), {}}}));
  auto db = OpenExternalFile(noHistory);
  QVERIFY(db);
  ExternalTable table;
  QVERIFY(db->readTable(QStringLiteral("tableuser"), table));
  QVERIFY(!db->readTable(QStringLiteral("TableHistory"), table));
  QVERIFY(db->errorString().contains(QStringLiteral("TableHistory")));

  const QString noDevice = tempPath(QStringLiteral("nodevice.db"));
  QVERIFY(MakeSqliteFile(
      noDevice, {{QStringLiteral("CREATE TABLE TableUser (UserId INTEGER PRIMARY KEY, "
                                 "UserSecondName TEXT, UserFirstName TEXT, UserMiddleName TEXT)"),
                  {}},
                 {QStringLiteral("INSERT INTO TableUser VALUES (1, 'A', 'B', 'C')"), {}}}));
  db = OpenExternalFile(noDevice);
  QVERIFY(db);
  QVERIFY(!db->readTable(QStringLiteral("TableUser"), table,
                         {QStringLiteral("UserId"), QStringLiteral("DeviceId")}));
  QVERIFY(db->errorString().contains(QStringLiteral("DeviceId")));
  QVERIFY(table.rows.isEmpty());
}

void TestExternalDatabase::sqliteBadFiles_data() {
  QTest::addColumn<QString>("kind");
  QTest::newRow("empty file") << QStringLiteral("empty");
  QTest::newRow("plain text") << QStringLiteral("text");
  QTest::newRow("truncated") << QStringLiteral("truncated");
  QTest::newRow("header and garbage") << QStringLiteral("garbage");
  QTest::newRow("damaged pages") << QStringLiteral("damaged");
  QTest::newRow("missing file") << QStringLiteral("missing");
}

void TestExternalDatabase::sqliteBadFiles() {
  QFETCH(QString, kind);
  // A valid file of some pages to damage.
  QList<QPair<QString, QVariantList>> rows;
  for (int i = 0; i < 400; ++i)
    rows.append({QStringLiteral("INSERT INTO TableHistory VALUES (?, ?, ?, 1, 0.5, 0.25)"),
                 {i, i % 7, 45000.0 + i}});
  const QString source = programLayoutFile(QStringLiteral("source_%1.db").arg(kind), rows);
  QVERIFY(!source.isEmpty());
  QByteArray bytes = FileBytes(source);
  QVERIFY(bytes.size() >= 4 * 4096);

  if (kind == QLatin1String("empty"))
    bytes.clear();
  else if (kind == QLatin1String("text"))
    bytes = "UserId;Name\n1;Smith\n";
  else if (kind == QLatin1String("truncated"))
    bytes.truncate(bytes.size() / 2);
  else if (kind == QLatin1String("garbage"))
    bytes = bytes.left(16) + QByteArray(8192, '\xA5');
  else if (kind == QLatin1String("damaged"))
    bytes.replace(4096, bytes.size() - 4096, QByteArray(bytes.size() - 4096, '\x5A'));

  const QString path = tempPath(QStringLiteral("bad_%1.db").arg(kind));
  if (kind != QLatin1String("missing"))
    QVERIFY(WriteBytes(path, bytes));
  QString error;
  auto db = OpenExternalFile(path, &error);
  if (db) {
    ExternalTable table;
    QVERIFY(!db->readTable(QStringLiteral("TableHistory"), table));
    QVERIFY(!db->errorString().isEmpty());
  } else {
    QVERIFY(!error.isEmpty());
  }
  QVERIFY(!ReadExternalDatabaseBytes(bytes) || kind == QLatin1String("missing"));
  // Nothing was created or changed by reading.
  if (kind == QLatin1String("missing"))
    QVERIFY(!QFile::exists(path));
  else
    QCOMPARE(FileBytes(path), bytes);
}

void TestExternalDatabase::sqliteLimits() {
  const QString path = programLayoutFile(
      QStringLiteral("limits.db"),
      {{QStringLiteral("INSERT INTO TableUser (UserSecondName, UserFirstName) VALUES (?, 'x')"),
        {QString(5000, QLatin1Char('a'))}}});
  QVERIFY(!path.isEmpty());
  auto db = OpenExternalFile(path);
  QVERIFY(db);
  ExternalTable table;
  db->setLimits({qint64(64) << 20, 1000});
  QVERIFY(!db->readTable(QStringLiteral("TableUser"), table));
  db->setLimits({2000, 1 << 20});
  QVERIFY(!db->readTable(QStringLiteral("TableUser"), table));
  QVERIFY(db->errorString().contains(QStringLiteral("too large")));
  db->setLimits({});
  QVERIFY(db->readTable(QStringLiteral("TableUser"), table));
  QCOMPARE(table.rows.size(), 1);
}

void TestExternalDatabase::sqliteWriteAheadLogLeavesNothingBehind() {
  const QString path = programLayoutFile(
      QStringLiteral("wal.db"),
      {{QStringLiteral("INSERT INTO TableUser (UserSecondName) VALUES ('W')"), {}}});
  QVERIFY(!path.isEmpty());
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("wal"));
    db.setDatabaseName(path);
    QVERIFY(db.open());
    QSqlQuery query(db);
    QVERIFY(query.exec(QStringLiteral("PRAGMA journal_mode = WAL")));
    query.finish();
    db.close();
  }
  QSqlDatabase::removeDatabase(QStringLiteral("wal"));
  QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
  const QByteArray before = FileBytes(path);
  QCOMPARE(before.at(18), char(2));

  auto db = OpenExternalFile(path);
  QVERIFY(db);
  ExternalTable table;
  QVERIFY2(db->readTable(QStringLiteral("TableUser"), table), qPrintable(db->errorString()));
  QCOMPARE(table.rows.size(), 1);
  db.reset();
  QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
  QVERIFY(!QFile::exists(path + QStringLiteral("-shm")));
  QCOMPARE(FileBytes(path), before);
}

void TestExternalDatabase::kindFollowsContentNotName() {
  const QString sqlite = programLayoutFile(QStringLiteral("program.db"), {});
  QVERIFY(!sqlite.isEmpty());
  const QString renamed = tempPath(QStringLiteral("looks_like.mdb"));
  QVERIFY(QFile::copy(sqlite, renamed));
  auto db = OpenExternalFile(renamed);
  QVERIFY(db);
  QCOMPARE(db->kind(), ExternalDatabase::Kind::Sqlite);
  QVERIFY(ReadExternalDatabaseBytes(FileBytes(renamed)));

  SKIP_WITHOUT_ACCESS_FILES();
  const QString access = tempPath(QStringLiteral("older.db"));
  QVERIFY(QFile::copy(accessFile(QStringLiteral("DateTestDatabase.mdb")), access));
  db = OpenExternalFile(access);
  QVERIFY(db);
  QCOMPARE(db->kind(), ExternalDatabase::Kind::Access);
  QVERIFY(ReadExternalDatabaseBytes(FileBytes(access)));
}

void TestExternalDatabase::isolatedWorkReturnsItsOutput() {
  QByteArray output;
  const QByteArray big(300000, 'x');
  QVERIFY(RunIsolated(
      [&big](IsolatedOutput &out) {
        out.write("first ");
        out.write(big);
      },
      output, 1 << 20, 5000));
  QCOMPARE(output, QByteArray("first ") + big);
}

void TestExternalDatabase::isolatedFaultsAreContained_data() {
  QTest::addColumn<int>("fault");
  QTest::newRow("segmentation fault") << 0;
  QTest::newRow("abort") << 1;
  QTest::newRow("hang") << 2;
  QTest::newRow("too much output") << 3;
}

void TestExternalDatabase::isolatedFaultsAreContained() {
  QFETCH(int, fault);
#ifdef Q_OS_WIN
  QSKIP("Work runs in the program itself on this platform.");
#endif
  QByteArray output;
  const bool ran = RunIsolated(
      [fault](IsolatedOutput &out) {
        out.write("partial");
        if (fault == 0)
          std::raise(SIGSEGV);
        else if (fault == 1)
          std::abort();
        else if (fault == 2)
          std::this_thread::sleep_for(std::chrono::seconds(30));
        else
          out.write(QByteArray(5000, 'x'));
      },
      output, 1000, 300);
  QVERIFY(!ran);
  QVERIFY(output.isEmpty());
}

QTEST_GUILESS_MAIN(TestExternalDatabase)
#include "tst_externaldatabase.moc"
