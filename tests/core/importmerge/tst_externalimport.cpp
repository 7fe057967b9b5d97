// The import as the window runs it: progress, Cancel, the two refusals and a
// register of the size a large site has.
#include <QFile>
#include <QTest>
#include <memory>
#include <unistd.h>

#include "ImportSites.h"
#include "import/ExternalImport.h"

namespace {
// Records every report and cancels the import at a chosen step.
class Recorder : public ImportObserver {
public:
  explicit Recorder(ExternalImport &import, qint64 cancelAt = -1)
      : import_(import), cancelAt_(cancelAt) {}
  void ImportProgress(qint64 done, qint64 total) override {
    reports.append({done, total});
    if (cancelAt_ >= 0 && done >= cancelAt_)
      import_.Cancel();
  }
  QList<std::pair<qint64, qint64>> reports;

private:
  ExternalImport &import_;
  qint64 cancelAt_;
};
} // namespace

class TestExternalImport : public QObject, ImportSites {
  Q_OBJECT

  ExternalImport importer() { return ExternalImport(dm->Connection()); }

  // Two local people; the other file knows one of them and brings three
  // more, with 20 events each.
  void smallSites() {
    QVERIFY(local->exec("INSERT INTO TableUser VALUES (1, 'A', 'B', NULL, 5);"
                        "INSERT INTO TableUser VALUES (2, 'C', 'D', 'E', -1);"
                        "INSERT INTO TableHistory VALUES (5, 1, 45000, 1, 1, 1);"));
    QVERIFY(other->exec(
        "INSERT INTO TableUser VALUES (11, 'A', 'B', '', 7);"
        "INSERT INTO TableUser VALUES (12, 'F', 'G', 'H', -1);"
        "INSERT INTO TableUser VALUES (13, 'I', 'J', 'K', -1);"
        "INSERT INTO TableUser VALUES (14, 'L', 'M', 'N', 9);"
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 79) "
        "INSERT INTO TableHistory SELECT 100, 11 + i % 4, 45000 + i, 1 + i % 9, i, i FROM n;"));
  }

private slots:
  void init() { QVERIFY(openSites()); }
  void cleanup() { closeSites(); }

  void reportsProgressUpToTheTotal() {
    smallSites();
    ExternalImport import = importer();
    Recorder recorder(import);
    import.SetObserver(&recorder);
    const ImportResult result = import.Run(other->path());
    QCOMPARE(result.outcome, ImportOutcome::Merged);
    QVERIFY(result.error.isEmpty());
    QCOMPARE(result.PeopleAdded, 3);
    QCOMPARE(result.PeopleMatched, 1);
    QCOMPARE(result.EventsCopied, 80);
    QCOMPARE(users(), 5);
    QCOMPARE(events(), 81);
    // One step per person and per event, counted up without a gap to the end.
    QCOMPARE(recorder.reports.size(), 84);
    for (int i = 0; i < recorder.reports.size(); ++i)
      QCOMPARE(recorder.reports[i], std::make_pair(qint64(i + 1), qint64(84)));
  }

  // Cancel while people are added, while events are copied, and at the very
  // last step: the database stays as it was every time.
  void cancelRollsEverythingBack_data() {
    QTest::addColumn<qint64>("cancelAt");
    QTest::newRow("adding people") << qint64(2);
    QTest::newRow("copying events") << qint64(40);
    QTest::newRow("last step") << qint64(84);
  }
  void cancelRollsEverythingBack() {
    QFETCH(qint64, cancelAt);
    smallSites();
    ExternalImport import = importer();
    Recorder recorder(import, cancelAt);
    import.SetObserver(&recorder);
    const ImportResult result = import.Run(other->path());
    QCOMPARE(result.outcome, ImportOutcome::Cancelled);
    QCOMPARE(recorder.reports.last().first, cancelAt); // stopped at once
    QCOMPARE(result.PeopleAdded, 0);
    QCOMPARE(result.EventsCopied, 0);
    QCOMPARE(users(), 2);
    QCOMPARE(events(), 1);
    // Nothing is left open: the next import runs and merges.
    import.SetObserver(nullptr);
    QCOMPARE(import.Run(other->path()).outcome, ImportOutcome::Merged);
    QCOMPARE(events(), 81);
  }

  // The database in use, under its own name, through a symbolic link and
  // through a hard link: refused, with nothing doubled.
  void refusesTheDatabaseInUse_data() {
    QTest::addColumn<QString>("link");
    QTest::newRow("same path") << QString();
    QTest::newRow("symbolic link") << QStringLiteral("symbolic");
    QTest::newRow("hard link") << QStringLiteral("hard");
  }
  void refusesTheDatabaseInUse() {
    QFETCH(QString, link);
    smallSites();
    QString path = local->path();
    if (!link.isEmpty()) {
      path = other->dirPath() + "/in-use.db";
      const QByteArray from = QFile::encodeName(local->path()), to = QFile::encodeName(path);
      QCOMPARE(link == "hard" ? ::link(from, to) : ::symlink(from, to), 0);
    }
    ExternalImport import = importer();
    const ImportResult result = import.Run(path);
    QCOMPARE(result.outcome, ImportOutcome::SameDatabase);
    QVERIFY2(result.error.contains("cannot be imported into itself"), qPrintable(result.error));
    QCOMPARE(users(), 2);
    QCOMPARE(events(), 1);
    // A copy is another file and is imported; its events are all held already.
    QVERIFY(local->exec("PRAGMA wal_checkpoint(TRUNCATE)"));
    QVERIFY(QFile::copy(local->path(), other->dirPath() + "/copy.db"));
    const ImportResult copy = import.Run(other->dirPath() + "/copy.db");
    QCOMPARE(copy.outcome, ImportOutcome::Merged);
    QCOMPARE(copy.EventsPresent, 1);
    QCOMPARE(events(), 1);
  }

  // Keys compared as numbers, as the events find their person: 7 and '7.0'
  // are one key. NULL keys are no key and may repeat.
  void refusesAFileWhosePeopleShareAKey() {
    QVERIFY(other->exec("DROP TABLE TableUser;"
                        "CREATE TABLE TableUser (UserId, UserSecondName, UserFirstName, "
                        "UserMiddleName, DeviceId);"
                        "INSERT INTO TableUser VALUES (NULL, 'P', 'Q', 'R', -1);"
                        "INSERT INTO TableUser VALUES (NULL, 'S', 'T', 'U', -1);"
                        "INSERT INTO TableUser VALUES (7, 'Orwell', 'George', NULL, -1);"
                        "INSERT INTO TableUser VALUES (8, 'Other', 'Person', NULL, -1);"
                        "INSERT INTO TableUser VALUES ('7.0', 'Blair', 'Eric', 'Arthur', -1);"
                        "INSERT INTO TableHistory VALUES (1, 7, 45000, 1, 1, 1);"));
    ExternalImport import = importer();
    ImportResult result = import.Run(other->path());
    QCOMPARE(result.outcome, ImportOutcome::SharedKey);
    for (const char *part : {"Orwell George", "Blair Eric Arthur", "key 7"})
      QVERIFY2(result.error.contains(part), qPrintable(result.error));
    QCOMPARE(users(), 0);
    QCOMPARE(events(), 0);

    QVERIFY(other->exec("UPDATE TableUser SET UserId = 9 WHERE UserSecondName = 'Blair'"));
    result = import.Run(other->path());
    QCOMPARE(result.outcome, ImportOutcome::Merged);
    QCOMPARE(users(), 5);
    QCOMPARE(events(), 1);
  }

  void unreadableFileSaysWhy() {
    QFile f(other->path());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QByteArray("not a database\n").repeated(100));
    f.close();
    const ImportResult result = importer().Run(other->path());
    QCOMPARE(result.outcome, ImportOutcome::Unreadable);
    QVERIFY2(result.error.contains("is not a database"), qPrintable(result.error));
  }

  void failedStatementSaysWhy() {
    smallSites();
    QVERIFY(local->exec("CREATE TRIGGER NoEvents BEFORE INSERT ON TableHistory "
                        "WHEN NEW.EventType = 3 BEGIN SELECT RAISE(ABORT, 'refused here'); END;"));
    const ImportResult result = importer().Run(other->path());
    QCOMPARE(result.outcome, ImportOutcome::Failed);
    QVERIFY2(result.error.contains("refused here"), qPrintable(result.error));
    QCOMPARE(users(), 2);
    QCOMPARE(events(), 1);
  }

  // A large site: 20,000 people (half of them known here) with 200,000 events.
  // Every person is there once and every event lands under its person.
  void largeImportKeepsEveryPersonAndEvent() {
    QVERIFY(other->exec(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
        "INSERT INTO TableUser SELECT i, 'S' || i, 'F' || (i % 97), "
        "CASE WHEN i % 3 = 0 THEN NULL ELSE 'M' END, CASE WHEN i % 5 = 0 THEN i ELSE -1 END "
        "FROM n;"
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 199999) "
        "INSERT INTO TableHistory SELECT 1000 + i % 20000, 1 + i % 20000, 40000 + i / 1000.0, "
        "1 + i % 9, i * 1e-6, i * 1e-3 FROM n;"));
    // The known half holds other keys here, with an empty middle name for a NULL one.
    QVERIFY(local->exec("ATTACH '" + other->path() +
                        "' AS o;"
                        "INSERT INTO TableUser SELECT 100000 + UserId, UserSecondName, "
                        "UserFirstName, CASE WHEN UserMiddleName IS NULL THEN '' ELSE "
                        "UserMiddleName END, -1 FROM o.TableUser WHERE UserId % 2 = 0;"
                        "DETACH o;"));
    QCOMPARE(users(), 10000);

    ExternalImport import = importer();
    Recorder recorder(import);
    import.SetObserver(&recorder);
    const ImportResult result = import.Run(other->path());
    QCOMPARE(result.outcome, ImportOutcome::Merged);
    QCOMPARE(result.PeopleAdded, 10000);
    QCOMPARE(result.PeopleMatched, 10000);
    QCOMPARE(result.EventsCopied, 200000);
    QCOMPARE(users(), 20000);
    QCOMPARE(events(), 200000);
    // The window is told often enough to stay alive, but not at every row.
    QVERIFY(recorder.reports.size() >= 100 && recorder.reports.size() <= 300);
    QCOMPARE(recorder.reports.last(), std::make_pair(qint64(220000), qint64(220000)));

    // Each event is under the local person of the same name: known people
    // under their old keys, added ones under new keys, none anywhere else.
    QVERIFY(local->exec("ATTACH '" + other->path() + "' AS o;"));
    QCOMPARE(
        local
            ->scalar("SELECT COUNT(*) FROM TableHistory h JOIN TableUser u ON u.UserId = h.UserId "
                     "JOIN o.TableUser ou ON ou.UserSecondName = u.UserSecondName "
                     "JOIN o.TableHistory oh ON oh.UserId = ou.UserId AND oh.DateTimeEvent = "
                     "h.DateTimeEvent AND oh.DeviceId = h.DeviceId AND oh.DEValue = h.DEValue")
            .toInt(),
        200000);
    QCOMPARE(local->count("TableUser", "UserSecondName = 'S' || (UserId - 100000)"), 10000);
    QCOMPARE(local->count("TableUser", "DeviceId <> -1"), 0);
  }
};

QTEST_GUILESS_MAIN(TestExternalImport)
#include "tst_externalimport.moc"
