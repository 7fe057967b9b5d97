// Merging another database file of the program's layout into the program's
// own: matching, adding, copying events exactly, and failing whole.
#include <QFile>
#include <QTest>
#include <memory>

#include "ImportSites.h"
#include "TestDatabase.h"
#include "import/ExternalImport.h"

class TestImportMerge : public QObject, ImportSites {
  Q_OBJECT

  bool importFrom(const QString &path) {
    ExternalImport import(dm->Connection());
    const ImportResult result = import.Run(path);
    lastError = result.error;
    return result.outcome == ImportOutcome::Merged;
  }
  bool importOther() { return importFrom(other->path()); }
  QString lastError;
  int localKey(const QString &second) {
    return local->scalar("SELECT UserId FROM TableUser WHERE UserSecondName=" + SqlText(second))
        .toInt();
  }

private slots:
  void init() { QVERIFY(openSites()); }
  void cleanup() { closeSites(); }

  void matchesAddsAndCopiesEventsExactly() {
    QVERIFY(local->exec("INSERT INTO TableUser VALUES (5, 'Abcd', 'Efgh', NULL, 105);"
                        "INSERT INTO TableUser VALUES (6, 'O''Brien', 'Pat', 'Q', -1);"
                        "INSERT INTO TableHistory VALUES (105, 5, 45000.5, 1, 0.001, 0.002);"));
    const QString longName(300, QChar(u'Ж'));
    QVERIFY(other->exec(
        // known (NULL middle name locally, empty here), known with apostrophe,
        // new with an instrument, new without one, NULL names, a long name
        "INSERT INTO TableUser VALUES (10, 'Abcd', 'Efgh', '', 7);"
        "INSERT INTO TableUser VALUES (11, 'O''Brien', 'Pat', 'Q', -1);"
        "INSERT INTO TableUser VALUES (12, 'Новиков', 'Иван', 'Петрович', 77);"
        "INSERT INTO TableUser VALUES (13, 'D''Arcy', 'Lee', NULL, -1);"
        "INSERT INTO TableUser VALUES (14, NULL, NULL, NULL, NULL);"
        "INSERT INTO TableUser VALUES (15, '" +
        longName +
        "', 'X', 'Y', -1);"
        "INSERT INTO TableHistory VALUES (200, 10, 45123.6543210987, 1, 1.25e-5, 3.5e-4);"
        "INSERT INTO TableHistory VALUES (200, 10, 45123.7, NULL, 1, 2);"  // untyped: skipped
        "INSERT INTO TableHistory VALUES (200, 10, NULL, 42, NULL, NULL);" // unknown code, NULLs
        "INSERT INTO TableHistory VALUES (201, 11, 45124.25, 6, NULL, NULL);"
        "INSERT INTO TableHistory VALUES (202, 12, -1.25, 4, -1.0, 0.5);"
        "INSERT INTO TableHistory VALUES (203, 99, 45000, 1, 1, 1);" // nobody's
        "INSERT INTO TableHistory VALUES (204, 15, 45001, 9, -1.0, 0.1);"));
    QVERIFY2(importOther(), qPrintable(lastError));

    // The two known people keep their rows; four are added.
    QCOMPARE(users(), 6);
    QCOMPARE(localKey("Abcd"), 5);
    QCOMPARE(localKey("O'Brien"), 6);
    const auto added =
        local->rows("SELECT UserSecondName, UserFirstName, UserMiddleName, DeviceId FROM TableUser "
                    "WHERE UserId NOT IN (5, 6) ORDER BY UserId");
    const QList<QVariantList> expectedPeople{
        {QStringLiteral("Новиков"), QStringLiteral("Иван"), QStringLiteral("Петрович"), -1LL},
        {QStringLiteral("D'Arcy"), QStringLiteral("Lee"), QString(), -1LL},
        {QString(), QString(), QString(), -1LL},
        {longName, QStringLiteral("X"), QStringLiteral("Y"), -1LL}};
    QCOMPARE(added, expectedPeople);

    // Events keep instrument, time, type and values exactly, NULLs included.
    const auto copied = local->rows(
        "SELECT DeviceId, UserId, DateTimeEvent, EventType, EventValue, DEValue FROM TableHistory "
        "WHERE DeviceId >= 200 ORDER BY " +
        QString(local->onServer() ? "ctid" : "rowid")); // in the order they were stored
    const int nov = localKey(QStringLiteral("Новиков")), lng = localKey(longName);
    const QList<QVariantList> expectedEvents{{200LL, 5LL, 45123.6543210987, 1LL, 1.25e-5, 3.5e-4},
                                             {200LL, 5LL, QVariant(), 42LL, QVariant(), QVariant()},
                                             {201LL, 6LL, 45124.25, 6LL, QVariant(), QVariant()},
                                             {202LL, qlonglong(nov), -1.25, 4LL, -1.0, 0.5},
                                             {204LL, qlonglong(lng), 45001.0, 9LL, -1.0, 0.1}};
    QCOMPARE(copied, expectedEvents);
    QCOMPARE(events(), 6);

    // The register read right after holds the merged people.
    QCOMPARE(dm->Register().People().value_or(QList<Person>{}).size(), 6);
  }

  // An event the database holds for the person already (same instrument,
  // time, code and values) is not copied again; equal events inside the file
  // are all copied, so a second import of the file changes nothing.
  void importingTwiceChangesNothingTheSecondTime() {
    QVERIFY(local->exec("INSERT INTO TableUser VALUES (30, 'A', 'B', NULL, 4);"
                        "INSERT INTO TableHistory VALUES (9, 30, 45000.25, 1, 1, 2);"));
    QVERIFY(other->exec("INSERT INTO TableUser VALUES (1, 'A', 'B', NULL, -1);"
                        "INSERT INTO TableUser VALUES (2, 'C', 'D', 'E', -1);"
                        "INSERT INTO TableHistory VALUES (9, 1, 45000.25, 1, 1, 2);" // held
                        "INSERT INTO TableHistory VALUES (9, 1, 45000.25, 1, 1, 2);" // once more
                        "INSERT INTO TableHistory VALUES (9, 1, 45000.25, 1, 1, 3);" // other DE
                        "INSERT INTO TableHistory VALUES (8, 1, 45000.25, 1, 1, 2);" // other device
                        "INSERT INTO TableHistory VALUES (9, 1, 45000.25, 6, NULL, NULL);"
                        "INSERT INTO TableHistory VALUES (9, 2, 45000.5, 7, 3, 4);"
                        "INSERT INTO TableHistory VALUES (9, 2, 45000.5, 7, 3, 4);"));
    ExternalImport import(dm->Connection());
    ImportResult result = import.Run(other->path());
    QCOMPARE(result.outcome, ImportOutcome::Merged);
    QCOMPARE(result.PeopleMatched, 1);
    QCOMPARE(result.PeopleAdded, 1);
    QCOMPARE(result.EventsCopied, 6);
    QCOMPARE(result.EventsPresent, 1);
    QCOMPARE(users(), 2);
    QCOMPARE(events(), 7);
    QCOMPARE(local->count("TableHistory", "UserId = 30"), 5); // NULL middle name matched NULL

    result = import.Run(other->path());
    QCOMPARE(result.outcome, ImportOutcome::Merged);
    QCOMPARE(result.PeopleMatched, 2);
    QCOMPARE(result.PeopleAdded, 0);
    QCOMPARE(result.EventsCopied, 0);
    QCOMPARE(result.EventsPresent, 7);
    QCOMPARE(users(), 2);
    QCOMPARE(events(), 7);
  }

  // Names match without regard to case, Cyrillic too.
  void namesMatchWithoutRegardToCase() {
    QVERIFY(local->exec("INSERT INTO TableUser VALUES (30, 'Smith', 'John', 'Paul', -1);"
                        "INSERT INTO TableUser VALUES (31, 'Новиков', 'Иван', 'Петрович', -1);"));
    QVERIFY(other->exec("INSERT INTO TableUser VALUES (1, 'smith', 'JOHN', 'paul', -1);"
                        "INSERT INTO TableUser VALUES (2, 'НОВИКОВ', 'иван', 'пЕТРОВИЧ', -1);"
                        "INSERT INTO TableUser VALUES (3, 'Smyth', 'John', 'Paul', -1);"
                        "INSERT INTO TableHistory VALUES (9, 1, 45000.25, 1, 1, 2);"
                        "INSERT INTO TableHistory VALUES (9, 2, 45000.5, 7, 3, 4);"));
    QVERIFY2(importOther(), qPrintable(lastError));
    QCOMPARE(users(), 3);
    QCOMPARE(local->count("TableHistory", "UserId = 30"), 1);
    QCOMPARE(local->count("TableHistory", "UserId = 31"), 1);
    // The register keeps its own spelling.
    QCOMPARE(localKey("Smith"), 30);
  }

  void emptyOtherFileImportsNothing() {
    QVERIFY(local->exec("INSERT INTO TableUser VALUES (1, 'A', 'B', NULL, -1);"));
    QVERIFY(importOther());
    QCOMPARE(users(), 1);
    QCOMPARE(events(), 0);
  }

  void unreadableFileMergesNothing_data() {
    QTest::addColumn<QByteArray>("content"); // replaces the other file when not null
    QTest::addColumn<QString>("damage");     // statements run on the other file first
    QTest::newRow("not a database") << QByteArray("just some text\n").repeated(100) << QString();
    QTest::newRow("empty") << QByteArray("") << QString();
    QTest::newRow("missing file") << QByteArray("missing") << QString();
    QTest::newRow("truncated") << QByteArray("truncate") << QString();
    QTest::newRow("no history table") << QByteArray() << QStringLiteral("DROP TABLE TableHistory");
    QTest::newRow("no user table") << QByteArray() << QStringLiteral("DROP TABLE TableUser");
    QTest::newRow("a column missing")
        << QByteArray() << QStringLiteral("ALTER TABLE TableHistory DROP COLUMN DEValue");
  }
  void unreadableFileMergesNothing() {
    QFETCH(QByteArray, content);
    QFETCH(QString, damage);
    QVERIFY(other->exec("INSERT INTO TableUser VALUES (1, 'A', 'B', NULL, -1);"
                        "INSERT INTO TableHistory VALUES (9, 1, 45000.25, 1, 1, 2);"));
    if (!damage.isEmpty())
      QVERIFY(other->exec(damage));
    QVERIFY(other->exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")));
    QString path = other->path();
    if (content == "missing") {
      path += QStringLiteral(".gone");
    } else if (content == "truncate") {
      QFile f(path);
      QVERIFY(f.open(QIODevice::ReadWrite));
      QVERIFY(f.resize(f.size() / 2));
    } else if (!content.isNull()) {
      QFile f(path);
      QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
      f.write(content);
    }
    QVERIFY(!importFrom(path));
    QVERIFY(!lastError.isEmpty());
    QCOMPARE(users(), 0);
    QCOMPARE(events(), 0);
  }

  // A person the program's database refuses (here a name longer than a rule
  // of the file allows) fails the whole import: the person before stays out.
  void personThatCannotBeAddedMergesNothing() {
    QVERIFY(local->refuse("NameLength", "BEFORE INSERT ON TableUser", "name too long",
                          "length(NEW.UserSecondName) > 255"));
    QVERIFY(other->exec("INSERT INTO TableUser VALUES (1, 'Short', 'B', NULL, -1);"
                        "INSERT INTO TableUser VALUES (2, '" +
                        QString(300, u'x') +
                        "', 'B', NULL, -1);"
                        "INSERT INTO TableHistory VALUES (9, 1, 45000.25, 1, 1, 2);"));
    QVERIFY(!importOther());
    QCOMPARE(users(), 0);
    QCOMPARE(events(), 0);
    QCOMPARE(dm->Register().People().value_or(QList<Person>{{}}).size(), 0);
  }

  // A database that changes a name on insert would have the person added at
  // every pass; the import fails instead of looping.
  void personNotFoundAfterAddingFailsTheImport() {
    if (local->onServer())
      QSKIP("a trigger that changes a row is written for SQLite");
    QVERIFY(local->exec("CREATE TRIGGER Mark AFTER INSERT ON TableUser BEGIN "
                        "UPDATE TableUser SET UserSecondName = UserSecondName || '!' "
                        "WHERE UserId = NEW.UserId; END;"));
    QVERIFY(other->exec("INSERT INTO TableUser VALUES (1, 'lower', 'B', NULL, -1);"));
    QVERIFY(!importOther());
    QCOMPARE(users(), 0);
  }

  void failedEventInsertMergesNothing() {
    QVERIFY(
        local->refuse("NoEvents", "BEFORE INSERT ON TableHistory", "refused", "NEW.EventType = 3"));
    QVERIFY(other->exec("INSERT INTO TableUser VALUES (1, 'A', 'B', NULL, -1);"
                        "INSERT INTO TableHistory VALUES (9, 1, 45000.25, 1, 1, 2);"
                        "INSERT INTO TableHistory VALUES (9, 1, 45000.5, 3, 1, 2);"));
    QVERIFY(!importOther());
    QCOMPARE(users(), 0);
    QCOMPARE(events(), 0);
  }
};

QTEST_GUILESS_MAIN(TestImportMerge)
#include "tst_importmerge.moc"
