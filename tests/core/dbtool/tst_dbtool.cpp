// vx4418-db as the operator runs it: making a server database, copying a
// whole register and history between engines, and checking a layout.
#include <QProcess>
#include <QSqlQuery>
#include <QtTest>

#include "HistoryTestDb.h"
#include "db/SchemaSteps.h"
#include "db/TDM.h"
#include "state/AppState.h"

namespace {

struct Run {
  int code = -1;
  QString out, err;
};

Run Tool(const QStringList &args) {
  QProcess p;
  p.start(QStringLiteral(VX_DB_TOOL), args);
  Run r;
  if (!p.waitForFinished(60000)) {
    p.kill();
    p.waitForFinished();
    r.err = QStringLiteral("vx4418-db did not end within 60 s");
    return r;
  }
  r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = QString::fromUtf8(p.readAllStandardOutput());
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

// One line on standard error, naming the tool.
bool OneLineError(const Run &r) {
  return r.err.startsWith(QLatin1String("vx4418-db: ")) && r.err.count(u'\n') == 1;
}

const char *const People = "INSERT INTO TableUser VALUES (7, 'Ivanov', 'Ivan', 'I', 1234);"
                           "INSERT INTO TableUser VALUES (9, 'O''Brien', 'Пётр', NULL, -1);"
                           "INSERT INTO TableUser VALUES (12, '', '', '', 77);";
const char *const Events =
    "INSERT INTO TableHistory VALUES (1234, 7, 45000.123456789012, 1, 1.5e-6, 0.001);"
    "INSERT INTO TableHistory VALUES (1234, 7, 45000.6, 8, NULL, 0.002);"
    "INSERT INTO TableHistory VALUES (77, 12, 45001, 5, NULL, NULL);"
    "INSERT INTO TableHistory VALUES (-3, 99, 45002, 42, -1, 1e300);";

QList<QVariantList> Contents(HistoryTestDb &db) {
  QList<QVariantList> all = db.rows("SELECT * FROM TableUser ORDER BY UserId");
  all += db.rows("SELECT * FROM TableHistory ORDER BY DateTimeEvent");
  all += db.rows("SELECT DeviceId, FiledLength FROM TableLastFiled ORDER BY DeviceId");
  all += db.rows("SELECT * FROM TableJournal ORDER BY JournalId");
  return all;
}

} // namespace

class TstDbTool : public QObject {
  Q_OBJECT

private slots:
  void wrongArgumentsAreTold() {
    const Run r = Tool({"copy", "only-one"});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.startsWith("usage: vx4418-db"), qPrintable(r.err));
    QCOMPARE(Tool({"--help"}).code, 0);
  }

  // A server database is made once, from nothing; a second init, or one on
  // a file, is refused.
  void initMakesTheCurrentLayoutInAnEmptyDatabaseOnly() {
    if (!TestingOnServer())
      QSKIP("needs the test server");
    HistoryTestDb empty(HistoryTestDb::Layout::None);
    QVERIFY(empty.ok());
    Run r = Tool({"init", empty.path()});
    QCOMPARE(r.code, 0);
    QVERIFY(r.err.isEmpty());
    QVERIFY(empty.hasTable("TableUser") && empty.hasTable("TableLastFiled"));
    QCOMPARE(empty.version(), CurrentSchemaVersion);
    QCOMPARE(Tool({"check", empty.path()}).code, 0);

    r = Tool({"init", empty.path()});
    QCOMPARE(r.code, 3);
    QVERIFY2(OneLineError(r) && r.err.contains("not empty"), qPrintable(r.err));
    r = Tool({"init", "/tmp/some.db"});
    QCOMPARE(r.code, 3);
    QVERIFY(OneLineError(r));
  }

  // From a file into the engine under test and back into a file: every key
  // and value, and what was last filed; new keys follow the copied ones.
  void copyKeepsEveryKeyAndValue() {
    HistoryTestDb source(HistoryTestDb::Layout::Current, false);
    HistoryTestDb back(HistoryTestDb::Layout::Current, false);
    QVERIFY(
        source.exec(QString(People) + Events +
                    "INSERT INTO TableLastFiled VALUES (1234, 40, X'00FF10');"
                    "INSERT INTO TableJournal VALUES (5, 45000.5, 'Gate', 'op', 1, 7, 1234, 2);"));
    HistoryTestDb target;
    QVERIFY(source.ok() && target.ok() && back.ok());

    Run r = Tool({"copy", source.path(), target.path()});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.contains("3 people, 4 events"), qPrintable(r.out));
    QCOMPARE(Contents(target), Contents(source));
    QCOMPARE(target.scalar("SELECT FiledHash FROM TableLastFiled").toByteArray(),
             QByteArray("\x00\xff\x10", 3));
    QVERIFY(target.scalar("SELECT UserMiddleName FROM TableUser WHERE UserId = 9").isNull());
    QVERIFY(target.exec("INSERT INTO TableUser (UserSecondName) VALUES ('New')"));
    QCOMPARE(target.scalar("SELECT MAX(UserId) FROM TableUser").toInt(), 13);
    QVERIFY(target.exec("DELETE FROM TableUser WHERE UserId = 13"));

    r = Tool({"copy", target.path(), back.path()});
    QCOMPARE(r.code, 0);
    QCOMPARE(Contents(back), Contents(source));
  }

  void copyIntoADatabaseWithRowsOrFromNoDatabaseIsRefused() {
    HistoryTestDb source, target;
    QVERIFY(source.exec(People));
    QVERIFY(target.exec("INSERT INTO TableUser VALUES (1, 'There', 'Already', '', -1)"));
    Run r = Tool({"copy", source.path(), target.path()});
    QCOMPARE(r.code, 3);
    QVERIFY2(OneLineError(r) && r.err.contains("already holds"), qPrintable(r.err));
    QCOMPARE(target.count("TableUser"), 1);

    QTemporaryDir dir;
    QFile junk(dir.filePath("junk.db"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    r = Tool({"copy", junk.fileName(), target.path()});
    QCOMPARE(r.code, 3);
    QVERIFY2(OneLineError(r), qPrintable(r.err));
    r = Tool({"copy", dir.filePath("missing.db"), target.path()});
    QCOMPARE(r.code, 3);
    QVERIFY2(OneLineError(r), qPrintable(r.err));
    QCOMPARE(target.count("TableUser"), 1);
  }

  // An Access file of an earlier installation is read with the reader of the
  // import; one without the program's tables is refused in one line.
  void anAccessFileWithoutTheTablesIsRefused() {
    QString shared = qEnvironmentVariable("VX_SHARED_DIR");
    if (shared.isEmpty())
      shared = QStringLiteral(VX_SOURCE_DIR "/../shared");
    const QString mdb = QDir::cleanPath(shared + "/testdata/access/nwind.mdb");
    if (!QFile::exists(mdb))
      QSKIP("no Access sample file beside the checkout");
    HistoryTestDb target;
    const Run r = Tool({"copy", mdb, target.path()});
    QCOMPARE(r.code, 3);
    QVERIFY2(OneLineError(r) && r.err.contains("TableUser"), qPrintable(r.err));
    QCOMPARE(target.count("TableUser"), 0);
  }

  // A copy that the target refuses half way leaves the target empty.
  void aCopyIsWholeOrNothing() {
    HistoryTestDb source(HistoryTestDb::Layout::Current, false);
    HistoryTestDb target;
    QVERIFY(source.exec(QString(People) + Events));
    QVERIFY(
        target.refuse("no_events", "BEFORE INSERT ON TableHistory", "refused", "NEW.UserId = 99"));
    const Run r = Tool({"copy", source.path(), target.path()});
    QCOMPARE(r.code, 3);
    QVERIFY2(OneLineError(r) && r.err.contains("nothing was copied"), qPrintable(r.err));
    QCOMPARE(target.count("TableUser"), 0);
    QCOMPARE(target.count("TableHistory"), 0);
  }

  void checkNamesTwoHoldersAndWhatIsMissing() {
    HistoryTestDb db;
    Run r = Tool({"check", db.path()});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.contains("no problems"), qPrintable(r.out));

    QVERIFY(db.exec("DROP INDEX UX_TableUser_Holder"));
    QVERIFY(db.exec(People));
    QVERIFY(db.exec("INSERT INTO TableUser VALUES (20, 'Smith', 'Anna', 'B', 1234)"));
    r = Tool({"check", db.path()});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.out.contains("UX_TableUser_Holder is missing"), qPrintable(r.out));
    QVERIFY2(
        r.out.contains("Instrument 1234 is held by more than one person: Ivanov Ivan I (key 7)"),
        qPrintable(r.out));
    QVERIFY2(r.out.contains("Smith Anna B (key 20)"), qPrintable(r.out));
    QVERIFY2(!r.out.contains("key 12"), qPrintable(r.out));
    // Looking changes nothing.
    QCOMPARE(db.count("TableUser"), 4);

    r = Tool({"check", "/nonexistent/dir/db.db"});
    QCOMPARE(r.code, 3);
    QVERIFY(OneLineError(r));
  }

  // A desk's login works the register and the history and adds journal
  // rows, but cannot change the layout or the journal; a viewer only reads.
  void theRolesKeepDesksToTheirWork() {
    if (!TestingOnServer())
      QSKIP("needs the test server");
    HistoryTestDb db(HistoryTestDb::Layout::None);
    QVERIFY(Tool({"init", db.path()}).code == 0);
    QProcess psql;
    const QString name = db.path().section(u'/', -1);
    psql.start("psql", {"-q", "-v", "ON_ERROR_STOP=1", "-d", name, "-f",
                        VX_SOURCE_DIR "/db/roles-postgresql.sql"});
    QVERIFY(psql.waitForFinished(60000));
    QVERIFY2(psql.exitCode() == 0, psql.readAllStandardError().constData());
    const QString desk = name + "_desk", viewer = name + "_viewer";
    QVERIFY(db.exec("CREATE ROLE " + desk + " LOGIN PASSWORD 'd' IN ROLE vx4418_desk"));
    QVERIFY(db.exec("CREATE ROLE " + viewer + " LOGIN PASSWORD 'v' IN ROLE vx4418_viewer"));
    const auto as = [&](const QString &role, const QString &password) {
      return "postgresql://" + role + ':' + password + "@/" + name;
    };

    // The program's work, as a desk.
    {
      AppState state;
      TDM dm(state.clock, as(desk, "d"));
      QVERIFY2(dm.Register().InsertUser("Ivanov", "Ivan", "I", -1), qPrintable(dm.LastError()));
      const int person = db.scalar("SELECT MAX(UserId) FROM TableUser").toInt();
      REG_STATE reg;
      reg.DeviceId = 4711;
      reg.UserId = person;
      QCOMPARE(dm.Register().RegisterDevice(reg), Registration::Registered);
      const QByteArray reading = RawRecord{1, 1, 25, 10, 0, 16}.bytes();
      QCOMPARE(dm.FileReading(4711, {Bytes(reading), std::size_t(reading.size())}).EventsFiled, 1);
      QVERIFY(dm.Register().CancelRegistration(4711, person));
      QVERIFY(dm.Register().DeleteUserWithHistory(person));
      QVERIFY(dm.JournalLog().Entries());
      QCOMPARE(dm.Schema().outcome, SchemaState::Outcome::UpToDate);
    }
    QCOMPARE(db.count("TableJournal"), 5);

    for (const auto &[role, password] :
         {std::pair(desk, QString("d")), std::pair(viewer, QString("v"))}) {
      QSqlDatabase c = QSqlDatabase::addDatabase("QPSQL", role);
      c.setDatabaseName(name);
      c.setUserName(role);
      c.setPassword(password);
      QVERIFY(c.open());
      QSqlQuery q(c);
      for (const char *forbidden :
           {"ALTER TABLE TableUser ADD COLUMN Extra text", "DROP TABLE TableHistory",
            "CREATE TABLE Other (x int)", "UPDATE TableJournal SET Desk = 'x'",
            "DELETE FROM TableJournal", "TRUNCATE TableJournal", "DROP INDEX UX_TableUser_Holder"})
        QVERIFY2(!q.exec(forbidden), forbidden);
      QVERIFY(q.exec("SELECT COUNT(*) FROM TableJournal") && q.next());
      QCOMPARE(q.value(0).toInt(), 5);
      const bool writes = q.exec("INSERT INTO TableUser (UserSecondName) VALUES ('W')");
      QCOMPARE(writes, role == desk);
      q = QSqlQuery();
      c.close();
      c = QSqlDatabase();
      QSqlDatabase::removeDatabase(role);
    }
  }
};

QTEST_GUILESS_MAIN(TstDbTool)
#include "tst_dbtool.moc"
