#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <set>

#include "db/DatabaseCheck.h"
#include "settings/ProfileFile.h"
#include "settings/ProgramSettings.h"
#include "state/AppState.h"

// A settings file whose replacements fail on the given write calls (all of
// them when none are given), the way a write-protected folder makes them fail.
class FailingProfileFile : public ProfileFile {
public:
  explicit FailingProfileFile(const QString &path, std::set<int> failing = {})
      : ProfileFile(path), failing_(std::move(failing)) {}
  int commits = 0;

protected:
  bool commit(const QByteArray &contents) override {
    const int call = commits++;
    if (failing_.empty() || failing_.count(call)) {
      lastError_ = QStringLiteral("Permission denied");
      return false;
    }
    return ProfileFile::commit(contents);
  }

private:
  std::set<int> failing_;
};

static void writeFile(const QString &path, const QByteArray &contents) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  QCOMPARE(file.write(contents), contents.size());
}

static QByteArray readFile(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A copy of the supplied database at path, its folders made.
static void copyDatabase(const QString &path) {
  QVERIFY(QDir().mkpath(QFileInfo(path).path()));
  QVERIFY(QFile::copy(QStringLiteral(VX_SUPPLIED_DB), path));
  QVERIFY(QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner));
}

// A SQLite database holding only the given statements' tables.
static void makeDatabase(const QString &path, const QStringList &statements) {
  QVERIFY(QDir().mkpath(QFileInfo(path).path()));
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "maker");
    db.setDatabaseName(path);
    QVERIFY(db.open());
    for (const QString &s : statements)
      QVERIFY(QSqlQuery(db).exec(s));
  }
  QSqlDatabase::removeDatabase("maker");
}

class TestSettings : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString folder_;
  QString iniPath_;

  // Loads the settings from a file that names `database`; the databases that
  // could not be opened.
  QList<UnusableDatabase> loadNaming(const QString &database, AppState &state) {
    writeFile(iniPath_, "[Data Base]\nADOFile=" + database.toUtf8() + "\n");
    QList<UnusableDatabase> unusable;
    LoadSettings(state, folder_, &unusable);
    return unusable;
  }

private slots:
  void init() {
    QVERIFY(dir_.isValid());
    folder_ = dir_.filePath(QStringLiteral("prog%1").arg(QRandomGenerator::global()->generate()));
    QVERIFY(QDir().mkpath(folder_));
    iniPath_ = QDir(folder_).filePath(QStringLiteral("VX4418.ini"));
  }

  // --- the profile file itself ---

  void readsDefaultsAndStoredValues() {
    ProfileFile ini(iniPath_);
    QCOMPARE(ini.readString("Lang", "LangFile", "dflt"), QString("dflt")); // no file
    QVERIFY(!ini.exists());

    writeFile(iniPath_, "[Data Base]\nADOFile = \"/x/y z.db\" \n[LANG]\nlangfile=LangR.txt\n"
                        "LangFile=second\nEmpty=\n");
    QVERIFY(ini.exists());
    QCOMPARE(ini.readString("data base", "adofile", ""), QString("/x/y z.db"));
    QCOMPARE(ini.readString("Lang", "LangFile", ""), QString("LangR.txt")); // first one counts
    QCOMPARE(ini.readString("Lang", "Empty", "dflt"), QString());
    QCOMPARE(ini.readString("Lang", "Missing", "dflt"), QString("dflt"));
    QCOMPARE(ini.readString("Nowhere", "LangFile", "dflt"), QString("dflt"));
  }

  void readsBooleansAsWholeNumbers_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("defaultValue");
    QTest::addColumn<bool>("expected");
    QTest::newRow("1") << QByteArray("1") << false << true;
    QTest::newRow("0") << QByteArray("0") << true << false;
    QTest::newRow("2 is non-zero") << QByteArray("2") << false << true;
    QTest::newRow("-1 is non-zero") << QByteArray("-1") << false << true;
    QTest::newRow("blanks around") << QByteArray("  0  ") << true << false;
    QTest::newRow("quoted") << QByteArray("\"0\"") << true << false;
    QTest::newRow("word, default true") << QByteArray("yes") << true << true;
    QTest::newRow("word, default false") << QByteArray("true") << false << false;
    QTest::newRow("empty") << QByteArray("") << true << true;
    QTest::newRow("fraction") << QByteArray("1.0") << false << false;
    QTest::newRow("hex") << QByteArray("0x1") << false << false;
    QTest::newRow("trailing text") << QByteArray("1abc") << false << false;
    QTest::newRow("out of range") << QByteArray("99999999999") << false << false;
  }
  void readsBooleansAsWholeNumbers() {
    QFETCH(QByteArray, value);
    QFETCH(bool, defaultValue);
    QFETCH(bool, expected);
    writeFile(iniPath_, "[History setting]\nRoentgen=" + value + "\n");
    QCOMPARE(ProfileFile(iniPath_).readBool("History setting", "Roentgen", defaultValue), expected);
  }

  void writeChangesOnlyItsLine_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("new file") << QByteArray() << "S"
                              << "k" << QByteArray("[S]\nk=v\n");
    QTest::newRow("in place, spacing kept") << QByteArray("; c\n[S]\nk = old\nz=1\n") << "S"
                                            << "k" << QByteArray("; c\n[S]\nk = v\nz=1\n");
    QTest::newRow("names in any case, kept as written")
        << QByteArray("[data base]\nADOFILE=old\n") << "Data Base"
        << "ADOFile" << QByteArray("[data base]\nADOFILE=v\n");
    QTest::newRow("blanks around the section name")
        << QByteArray("[ Data Base ]\nADOFile=old\n") << "Data Base"
        << "ADOFile" << QByteArray("[ Data Base ]\nADOFile=v\n");
    QTest::newRow("added after the section's last key")
        << QByteArray("[S]\na=1\n; about T\n\n[T]\nb=2\n") << "S"
        << "k" << QByteArray("[S]\na=1\nk=v\n; about T\n\n[T]\nb=2\n");
    QTest::newRow("added to a last line without line end") << QByteArray("[S]\na=1") << "S"
                                                           << "k" << QByteArray("[S]\na=1\nk=v\n");
    QTest::newRow("section appended") << QByteArray("[T]\nb=2") << "S"
                                      << "k" << QByteArray("[T]\nb=2\n[S]\nk=v\n");
    QTest::newRow("CR LF kept") << QByteArray("[T]\r\nb=2\r\n") << "S"
                                << "k" << QByteArray("[T]\r\nb=2\r\n[S]\r\nk=v\r\n");
    QTest::newRow("commented key left alone") << QByteArray("[S]\n;k=1\n#k=1\nk=2\n") << "S"
                                              << "k" << QByteArray("[S]\n;k=1\n#k=1\nk=v\n");
    QTest::newRow("same key in another section left alone")
        << QByteArray("[T]\nk=1\n[S]\n") << "S"
        << "k" << QByteArray("[T]\nk=1\n[S]\nk=v\n");
    QTest::newRow("key in a repeated section") << QByteArray("[S]\na=1\n[T]\n[S]\nk=2\n") << "S"
                                               << "k" << QByteArray("[S]\na=1\n[T]\n[S]\nk=v\n");
    QTest::newRow("byte order mark kept") << QByteArray("\xEF\xBB\xBF[S]\nk=1\n") << "S"
                                          << "k" << QByteArray("\xEF\xBB\xBF[S]\nk=v\n");
    QTest::newRow("lines that are no entries kept")
        << QByteArray("garbage\n[broken\n[S]\n  junk line\nk=1\n") << "S"
        << "k" << QByteArray("garbage\n[broken\n[S]\n  junk line\nk=v\n");
  }
  void writeChangesOnlyItsLine() {
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QByteArray, after);
    if (!before.isNull())
      writeFile(iniPath_, before);
    ProfileFile ini(iniPath_);
    QVERIFY(ini.writeString(section, key, "v"));
    QCOMPARE(readFile(iniPath_), after);
    QCOMPARE(ini.readString(section, key, "dflt"), QString("v"));
  }

  void refusesWritesThatWouldBreakLines_data() {
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("line break in value") << "S"
                                         << "k"
                                         << "a\n[Lang]\nLangFile=x";
    QTest::newRow("CR in value") << "S"
                                 << "k"
                                 << "a\rb";
    QTest::newRow("NUL in value") << "S"
                                  << "k" << QString(QChar(0));
    QTest::newRow("= in key") << "S"
                              << "k=x"
                              << "v";
    QTest::newRow("empty key") << "S"
                               << " "
                               << "v";
    QTest::newRow("comment key") << "S"
                                 << ";k"
                                 << "v";
    QTest::newRow("] in section") << "S]x"
                                  << "k"
                                  << "v";
  }
  void refusesWritesThatWouldBreakLines() {
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    const QByteArray before("[S]\nk=1\n");
    writeFile(iniPath_, before);
    QVERIFY(!ProfileFile(iniPath_).writeString(section, key, value));
    QCOMPARE(readFile(iniPath_), before);
  }

  void keepsVeryLongValues() {
    const QString longValue(200000, QChar('x'));
    ProfileFile ini(iniPath_);
    QVERIFY(ini.writeString("Program setting", "PortIr", longValue));
    QVERIFY(ini.writeString("Program setting", "RunSet", "0"));
    QCOMPARE(ini.readString("Program setting", "PortIr", ""), longValue);
    QCOMPARE(ini.readBool("Program setting", "RunSet", true), false);
  }

  void decodesOldCodePageValues() {
    if (!QStringDecoder("windows-1251").isValid())
      QSKIP("no Windows-1251 decoder in this Qt");
    const QString utf8Name = QString::fromUtf8("Журнал.db");
    writeFile(iniPath_, "[A]\nold=\xC6\xF3\xF0\xED\xE0\xEB.db\nnew=" + utf8Name.toUtf8() + "\n");
    ProfileFile ini(iniPath_);
    QCOMPARE(ini.readString("A", "old", ""), utf8Name);
    QCOMPARE(ini.readString("A", "new", ""), utf8Name);
  }

  // --- reading and writing the program settings ---

  void firstRunCreatesTheFile() {
    AppState state;
    QVERIFY(LoadSettings(state, folder_ + QDir::separator())); // the folder as the program has it
    const QString database = QDir(folder_).filePath("DB/dbVX4418.db");
    QCOMPARE(state.Paths.SettingsFile, iniPath_);
    QCOMPARE(state.Paths.ADOFile, database);
    QCOMPARE(state.Paths.ConnectionString,
             "Data Source=" + database + ";Mode=ReadWrite|Share Deny None;");
    QCOMPARE(state.Paths.LangFile, QString("LangE"));
    QCOMPARE(state.ProgSetting.Sock, true);
    QCOMPARE(state.ProgSetting.PortIr, QString("COM3"));
    QCOMPARE(state.ProgSetting.RunSet, true);
    QCOMPARE(state.ProgSetting.Roentgen, false);
    const QByteArray atStart = "[Data Base]\nADOFile=" + database.toUtf8() +
                               "\n[Lang]\nLangFile=LangE\n"
                               "[Program setting]\nSock=1\nPortIr=COM3\nPortSpeed=115200\n"
                               "RunSet=1\n";
    QCOMPARE(readFile(iniPath_), atStart);

    QVERIFY(SaveSettings(state, folder_));
    QCOMPARE(readFile(iniPath_), atStart + "[History setting]\nRoentgen=0\n");
  }

  void doseLimitsAreReadCheckedAndKeptOnceChanged() {
    // Missing, unreadable or not above 0: the defaults; a comma is read as
    // the decimal point of a hand-edited file.
    writeFile(iniPath_, "[Dose limits]\nInvestigationLevel=0,004\nAnnualLimit=abc\n"
                        "FiveYearLimit=-1\n");
    AppState state;
    LoadSettings(state, folder_);
    QCOMPARE(state.Limits.InvestigationLevel, 0.004);
    QCOMPARE(state.Limits.AnnualLimit, DoseLimits{}.AnnualLimit);
    QCOMPARE(state.Limits.FiveYearLimit, DoseLimits{}.FiveYearLimit);
    for (const char *bad : {"0", "nan", "inf", "", "1e400"}) {
      writeFile(iniPath_, QByteArray("[Dose limits]\nAnnualLimit=") + bad + "\n");
      AppState s;
      LoadSettings(s, folder_);
      QCOMPARE(s.Limits, DoseLimits{});
    }

    // The defaults are not written into a file that never had them; changed
    // limits are, with a point, and read back the same.
    QFile::remove(iniPath_);
    AppState fresh;
    LoadSettings(fresh, folder_);
    QVERIFY(SaveSettings(fresh, folder_));
    QVERIFY(!readFile(iniPath_).contains("Dose limits"));
    fresh.Limits = {0.0055, 0.018, 0.09};
    QVERIFY(SaveSettings(fresh, folder_));
    QVERIFY(readFile(iniPath_).contains("[Dose limits]\nInvestigationLevel=0.0055\n"
                                        "AnnualLimit=0.018\nFiveYearLimit=0.09\n"));
    AppState again;
    LoadSettings(again, folder_);
    QCOMPARE(again.Limits, fresh.Limits);
    // Set back to the defaults, they stay written.
    again.Limits = DoseLimits{};
    QVERIFY(SaveSettings(again, folder_));
    QVERIFY(readFile(iniPath_).contains("AnnualLimit=0.02\n"));
  }

  void existingFileIsReadAndKept() {
    const QString database = QDir(folder_).filePath("mine.db");
    copyDatabase(database);
    const QByteArray before = "; written by hand\r\n[data base]\r\nadofile = " + database.toUtf8() +
                              "\r\n\r\n[Printer]\r\nPaper=A4\r\n[PROGRAM SETTING]\r\n"
                              "sock=0\r\nportir=COM7\r\nrunset=0\r\n"
                              "[History setting]\r\nroentgen=1\r\n; the end\r\n";
    writeFile(iniPath_, before);

    AppState state;
    QVERIFY(LoadSettings(state, folder_));
    QCOMPARE(state.Paths.ADOFile, database);
    QCOMPARE(state.Paths.ConnectionString,
             "Data Source=" + database + ";Mode=ReadWrite|Share Deny None;");
    QCOMPARE(state.Paths.LangFile, QString("LangE"));
    QCOMPARE(state.ProgSetting.Sock, false); // the serial adapter
    QCOMPARE(state.ProgSetting.PortIr, QString("COM7"));
    QCOMPARE(state.ProgSetting.PortSpeed, 115200);
    QCOMPARE(state.ProgSetting.RunSet, false);
    QCOMPARE(state.ProgSetting.Roentgen, true);

    QByteArray expected = before;
    expected.replace("runset=0\r\n", "runset=0\r\nPortSpeed=115200\r\n");
    expected.append("[Lang]\r\nLangFile=LangE\r\n");
    QCOMPARE(readFile(iniPath_), expected);

    state.ProgSetting.Roentgen = false;
    state.Paths.LangFile = "LangES.txt";
    QVERIFY(SaveSettings(state, folder_));
    expected.replace("roentgen=1", "roentgen=0").replace("LangFile=LangE", "LangFile=LangES.txt");
    QCOMPARE(readFile(iniPath_), expected);
  }

  // --- the database the settings name ---

  void checksADatabaseWithoutChangingIt_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // empty: usable
    QTest::newRow("the supplied database") << "supplied"
                                           << "";
    QTest::newRow("\";\", \"#\" and \"?\" in the path") << "odd name"
                                                        << "";
    QTest::newRow("missing, as on a share not mounted")
        << "missing" << QString::fromLocal8Bit(std::strerror(ENOENT));
    QTest::newRow("a text file") << "text"
                                 << "file is not a database";
    QTest::newRow("an empty file") << "empty"
                                   << "no such table: TableUser";
    QTest::newRow("no history table") << "users only"
                                      << "no such table: TableHistory";
  }
  void checksADatabaseWithoutChangingIt() {
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QString path = QDir(folder_).filePath("share/dbVX4418.db");
    if (kind == "supplied")
      copyDatabase(path);
    if (kind == "odd name")
      copyDatabase(path = QDir(folder_).filePath("a;b=c #1?/x;y.db"));
    if (kind == "text" || kind == "empty") {
      QVERIFY(QDir().mkpath(QFileInfo(path).path()));
      writeFile(path, kind == "text" ? QByteArray(4096, 'x') : QByteArray());
    }
    if (kind == "users only")
      makeDatabase(path, {"CREATE TABLE TableUser (UserId INTEGER PRIMARY KEY, DeviceId INTEGER)"});
    // The write-ahead log and its index may appear beside a database, as they
    // do for every reader; nothing else may.
    const auto files = [&path] {
      QStringList names = QDir(QFileInfo(path).path()).entryList(QDir::Files);
      names.removeIf([](const QString &n) { return n.endsWith("-wal") || n.endsWith("-shm"); });
      return names;
    };
    const QByteArray before = readFile(path);
    const QStringList filesBefore = files();

    const DatabaseCheck check = CheckDatabaseFile(path);
    QCOMPARE(check.reason, reason);
    QCOMPARE(check.usable, reason.isEmpty());
    QCOMPARE(readFile(path), before);
    QCOMPARE(files(), filesBefore);
  }

  void aFolderIsNoDatabase() {
    const DatabaseCheck check = CheckDatabaseFile(folder_);
    QVERIFY(!check.usable);
    QVERIFY(!check.reason.isEmpty());
    QVERIFY(!CheckDatabaseFile(QString()).usable);
  }

  void unusableDatabaseIsReportedAndStaysInTheSettings_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QByteArray>("contents"); // empty: no file there
    QTest::addColumn<QString>("reason");
    QTest::newRow("share not mounted")
        << "share/dbVX4418.db" << QByteArray() << QString::fromLocal8Bit(std::strerror(ENOENT));
    QTest::newRow("not a database")
        << "notes.db" << QByteArray(2048, 'n') << QString("file is not a database");
  }
  void unusableDatabaseIsReportedAndStaysInTheSettings() {
    QFETCH(QString, stored);
    QFETCH(QByteArray, contents);
    QFETCH(QString, reason);
    const QString storedPath = QDir(folder_).filePath(stored);
    if (!contents.isEmpty())
      writeFile(storedPath, contents);
    const QString local = QDir(folder_).filePath("DB/dbVX4418.db");
    copyDatabase(local);

    AppState state;
    const QList<UnusableDatabase> unusable = loadNaming(storedPath, state);
    QCOMPARE(unusable.size(), 1);
    QCOMPARE(unusable[0].path, storedPath);
    QCOMPARE(unusable[0].reason, reason);
    QCOMPARE(state.Paths.ADOFile, local);
    QCOMPARE(state.Paths.ConnectionString, ConnectionStringFor(local));
    QCOMPARE(state.Paths.ConfiguredADOFile, storedPath);

    QVERIFY(SaveSettings(state, folder_));
    QCOMPARE(ProfileFile(iniPath_).readString("Data Base", "ADOFile", "?"), storedPath);
  }

  void unusableLocalDatabaseIsReportedToo() {
    const QString stored = QDir(folder_).filePath("gone/old.db");
    AppState state;
    const QList<UnusableDatabase> unusable = loadNaming(stored, state);
    const QString local = QDir(folder_).filePath("DB/dbVX4418.db");
    QCOMPARE(unusable.size(), 2);
    QCOMPARE(unusable[0].path, stored);
    QCOMPARE(unusable[1].path, local);
    QCOMPARE(state.Paths.ADOFile, local);
    QVERIFY(SaveSettings(state, folder_));
    QCOMPARE(ProfileFile(iniPath_).readString("Data Base", "ADOFile", "?"), stored);
  }

  void emptyDatabaseValueMeansTheLocalOne() {
    const QString local = QDir(folder_).filePath("DB/dbVX4418.db");
    copyDatabase(local);
    AppState state;
    QVERIFY(loadNaming(QString(), state).isEmpty());
    QCOMPARE(state.Paths.ADOFile, local);
    QVERIFY(state.Paths.ConfiguredADOFile.isEmpty());
    QVERIFY(SaveSettings(state, folder_));
    QCOMPARE(ProfileFile(iniPath_).readString("Data Base", "ADOFile", "?"), local);
  }

  // Tools reading the settings file find the database in the connection
  // string; a path with ";" in it is quoted so that it comes back whole.
  void connectionStringCarriesAnyPath_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("source");
    QTest::newRow("plain") << "/srv/dose/dbVX4418.db"
                           << "/srv/dose/dbVX4418.db";
    QTest::newRow("semicolon") << "/srv/a;b/dbVX4418.db"
                               << "\"/srv/a;b/dbVX4418.db\"";
    QTest::newRow("blank at the end") << "/srv/dose/dbVX4418.db "
                                      << "\"/srv/dose/dbVX4418.db \"";
    QTest::newRow("double quote and semicolon") << "/srv/\"a\";b/d.db"
                                                << "'/srv/\"a\";b/d.db'";
  }
  void connectionStringCarriesAnyPath() {
    QFETCH(QString, path);
    QFETCH(QString, source);
    QCOMPARE(ConnectionStringFor(path),
             "Data Source=" + source + ";Mode=ReadWrite|Share Deny None;");
  }

  void databaseInAFolderWithSemicolonIsUsed() {
    const QString stored = QDir(folder_).filePath("share;b=c/dbVX4418.db");
    copyDatabase(stored);
    AppState state;
    const QList<UnusableDatabase> unusable = loadNaming(stored, state);
    QVERIFY(unusable.isEmpty());
    QCOMPARE(state.Paths.ADOFile, stored);
  }

  // The program opens the path itself, whatever a connection string could carry.
  void pathWithEveryKindOfQuoteIsUsed() {
    const QString stored = QDir(folder_).filePath("a\"b'c;d/dbVX4418.db");
    copyDatabase(stored);
    copyDatabase(QDir(folder_).filePath("DB/dbVX4418.db"));
    AppState state;
    QVERIFY(loadNaming(stored, state).isEmpty());
    QCOMPARE(state.Paths.ADOFile, stored);
    QVERIFY(state.Paths.ConfiguredADOFile.isEmpty());
  }

  // The connection: the serial adapter with Sock=0, at the speed PortSpeed
  // names when it is one a port can run at.
  void serialConnection_data() {
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<bool>("sock");
    QTest::addColumn<int>("speed");
    QTest::newRow("socket by default") << QByteArray() << true << 115200;
    QTest::newRow("adapter at 57600") << QByteArray("Sock=0\nPortSpeed=57600\n") << false << 57600;
    QTest::newRow("speed not a number")
        << QByteArray("Sock=0\nPortSpeed=fast\n") << false << 115200;
    QTest::newRow("speed zero") << QByteArray("Sock=0\nPortSpeed=0\n") << false << 115200;
    QTest::newRow("speed too high") << QByteArray("PortSpeed=99999999\n") << true << 115200;
  }
  void serialConnection() {
    QFETCH(QByteArray, lines);
    QFETCH(bool, sock);
    QFETCH(int, speed);
    writeFile(iniPath_, "[Program setting]\nPortIr=/dev/ttyUSB0\n" + lines);
    AppState state;
    LoadSettings(state, folder_);
    QCOMPARE(state.ProgSetting.Sock, sock);
    QCOMPARE(state.ProgSetting.PortSpeed, speed);
    const LinkChoice choice = LinkChoiceOf(state.ProgSetting);
    QCOMPARE(choice.Serial, !sock);
    QCOMPARE(choice.Port.PortName, QString("/dev/ttyUSB0"));
    QCOMPARE(choice.Port.Speed, speed);
    // What was read is what start-up and exit write.
    QCOMPARE(ProfileFile(iniPath_).readString("Program setting", "PortSpeed", ""),
             QString::number(speed));
    QVERIFY(SaveSettings(state, folder_));
    QCOMPARE(ProfileFile(iniPath_).readString("Program setting", "Sock", ""),
             QString(sock ? "1" : "0"));
  }

  void failedWritesDoNotStopReading() {
    const QByteArray before = "[Lang]\nLangFile=LangR.txt\n[Program setting]\nPortIr=COM7\n"
                              "RunSet=0\n[History setting]\nRoentgen=1\n";
    writeFile(iniPath_, before);
    AppState state;
    FailingProfileFile ini(iniPath_);
    QVERIFY(!LoadSettings(state, ini, folder_));
    QCOMPARE(ini.commits, 5);
    QCOMPARE(state.Paths.LangFile, QString("LangR.txt"));
    QCOMPARE(state.ProgSetting.Sock, true);
    QCOMPARE(state.ProgSetting.PortIr, QString("COM7"));
    QCOMPARE(state.ProgSetting.RunSet, false);
    QCOMPARE(state.ProgSetting.Roentgen, true);
    QCOMPARE(readFile(iniPath_), before);
  }

  void failedWriteDoesNotStopSaving() {
    AppState state;
    state.Paths.ADOFile = "/db.db";
    state.Paths.LangFile = "LangR.txt";
    state.ProgSetting = {true, "COM5", false, true};
    FailingProfileFile ini(iniPath_, {0, 3});
    QString error;
    QVERIFY(!SaveSettings(state, ini, &error));
    QCOMPARE(error, QString("Permission denied"));
    QCOMPARE(readFile(iniPath_),
             QByteArray("[Lang]\nLangFile=LangR.txt\n[Program setting]\n"
                        "Sock=1\nPortSpeed=115200\nRunSet=0\n[History setting]\n"
                        "Roentgen=1\n"));
  }

  void unwritableSettingsFile() {
    // Even root cannot replace a directory with a file.
    QVERIFY(QDir().mkpath(iniPath_));
    AppState state;
    QVERIFY(!LoadSettings(state, folder_));
    QCOMPARE(state.Paths.LangFile, QString("LangE"));
    QCOMPARE(state.ProgSetting.PortIr, QString("COM3"));
    QCOMPARE(state.ProgSetting.RunSet, true);
    QCOMPARE(state.ProgSetting.Sock, true);
    QVERIFY(!SaveSettings(state, folder_));
    QVERIFY(QFileInfo(iniPath_).isDir());
  }

  void missingProgramFolder() {
    const QString missing = QDir(folder_).filePath("not/there");
    AppState state;
    QVERIFY(!LoadSettings(state, missing));
    QCOMPARE(state.Paths.LangFile, QString("LangE"));
    QCOMPARE(state.ProgSetting.RunSet, true);
    QVERIFY(!QFileInfo::exists(missing));

    // At exit the folder is created when it can be.
    QVERIFY(SaveSettings(state, missing));
    QCOMPARE(ProfileFile(QDir(missing).filePath("VX4418.ini")).readString("Lang", "LangFile", ""),
             QString("LangE"));
  }

  void savesToCurrentDirectoryWhenFolderCannotBeMade() {
    writeFile(QDir(folder_).filePath("plainfile"), "x");
    const QString impossible = QDir(folder_).filePath("plainfile/sub");
    const QString current = QDir::currentPath();
    const QString elsewhere = QDir(folder_).filePath("cwd");
    QVERIFY(QDir().mkpath(elsewhere));
    QVERIFY(QDir::setCurrent(elsewhere));
    AppState state;
    state.Paths.LangFile = "LangES.txt";
    const bool saved = SaveSettings(state, impossible);
    QDir::setCurrent(current);
    QVERIFY(saved);
    QCOMPARE(state.Paths.SettingsFile, QDir(elsewhere).filePath("VX4418.ini"));
    QCOMPARE(ProfileFile(state.Paths.SettingsFile).readString("Lang", "LangFile", ""),
             QString("LangES.txt"));
  }

  // --- files that are no settings files ---

  void binaryGarbageIsSurvived() {
    QByteArray garbage(64 * 1024, Qt::Uninitialized);
    QRandomGenerator random(4418);
    for (char &c : garbage)
      c = char(random.bounded(256));
    garbage.replace('[', '('); // no section can appear by chance
    garbage.append('\0');
    garbage += "\r\r\n[Lang]\nLangFile=LangR.txt\n\xFE\xFF";
    garbage.append('\0');
    writeFile(iniPath_, garbage);

    AppState state;
    QVERIFY(LoadSettings(state, folder_));
    QCOMPARE(state.Paths.LangFile, QString("LangR.txt"));
    QCOMPARE(state.ProgSetting.PortIr, QString("COM3"));
    const QByteArray after = readFile(iniPath_);
    QVERIFY(after.startsWith(garbage.left(60 * 1024)));
    QCOMPARE(ProfileFile(iniPath_).readString("Program setting", "PortIr", ""), QString("COM3"));
  }

  void hugeFileReadsAsEmptyAndIsKept() {
    QByteArray huge = "[Lang]\nLangFile=LangR.txt\n[Pad]\n";
    huge.append(QByteArray(ProfileFile::MaxFileSize, 'p'));
    writeFile(iniPath_, huge);
    const QByteArray hash = QCryptographicHash::hash(huge, QCryptographicHash::Sha1);
    huge.clear();

    AppState state;
    QVERIFY(!LoadSettings(state, folder_));
    QCOMPARE(state.Paths.LangFile, QString("LangE"));
    QVERIFY(!SaveSettings(state, folder_));
    QCOMPARE(QCryptographicHash::hash(readFile(iniPath_), QCryptographicHash::Sha1), hash);
  }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
