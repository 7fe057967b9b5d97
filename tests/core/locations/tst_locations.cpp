// Where the program's files live: beside the executable for the build folder
// and copied folders, in the user's XDG folders for an installed program, and
// what an installed program makes ready at a user's first start.
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "db/NewDatabase.h"
#include "settings/ProgramLocations.h"

namespace {

void WriteFile(const QString &path, const QByteArray &bytes) {
  QVERIFY(QDir().mkpath(QFileInfo(path).path()));
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// An executable's folder, a home and an /etc of their own.
struct Machine {
  QTemporaryDir root;
  QString exe() const { return root.filePath("program"); }
  QString home() const { return root.filePath("home"); }
  QString etc() const { return root.filePath("etc/vx4418m/VX4418.ini"); }
  Machine() {
    QDir().mkpath(exe());
    QDir().mkpath(home());
  }
  LocationInputs inputs() const {
    LocationInputs in;
    in.executableFolder = exe();
    in.home = home();
    in.systemSettingsFile = etc();
    return in;
  }
  void readOnly() { QFile::setPermissions(exe(), QFileDevice::ReadOwner | QFileDevice::ExeOwner); }
  void installSchema() const {
    QDir().mkpath(QDir(exe()).filePath("db"));
    QFile::copy(VX_SCHEMA_FILE, QDir(exe()).filePath("db/schema.sql"));
  }
  ~Machine() {
    QFile::setPermissions(exe(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }
};

QStringList TablesOf(const QString &file) {
  QStringList tables;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "tables");
    db.setDatabaseName(file);
    if (db.open()) {
      QSqlQuery q("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name", db);
      while (q.next())
        tables << q.value(0).toString();
    }
  }
  QSqlDatabase::removeDatabase("tables");
  return tables;
}

bool RunningAsRoot() {
  return QFileInfo(QDir::rootPath()).isWritable();
}

} // namespace

class TestLocations : public QObject {
  Q_OBJECT

private slots:
  void writableSettingsFileKeepsEverythingBeside() {
    Machine m;
    WriteFile(QDir(m.exe()).filePath("VX4418.ini"), "[Lang]\nLangFile=LangR.txt\n");
    const ProgramLocations where(m.inputs());
    QVERIFY(where.portable());
    QCOMPARE(where.settingsFile(), QDir(m.exe()).filePath("VX4418.ini"));
    QCOMPARE(where.databaseFile(), QDir(m.exe()).filePath("DB/dbVX4418.db"));
    QCOMPARE(where.dataFolder(), m.exe());
    QCOMPARE(where.resourceFolder(), m.exe());
  }

  void writableFolderWithDatabaseFolderKeepsEverythingBeside() {
    Machine m;
    QVERIFY(QDir().mkpath(QDir(m.exe()).filePath("DB")));
    const ProgramLocations where(m.inputs());
    QVERIFY(where.portable());
    QCOMPARE(where.settingsFolder(), m.exe());
    QCOMPARE(where.dataFolder(), m.exe());
  }

  void writableFolderWithoutEitherIsInstalled() {
    Machine m; // as an unpacked package: writable, but no settings and no DB/
    const ProgramLocations where(m.inputs());
    QVERIFY(!where.portable());
    QCOMPARE(where.settingsFile(), m.home() + "/.config/vx4418m/VX4418.ini");
  }

  void readOnlyFolderIsInstalled() {
    if (RunningAsRoot())
      QSKIP("root writes into read-only folders");
    Machine m;
    QVERIFY(QDir().mkpath(QDir(m.exe()).filePath("DB")));
    WriteFile(QDir(m.exe()).filePath("VX4418.ini"), "");
    QFile::setPermissions(QDir(m.exe()).filePath("VX4418.ini"), QFileDevice::ReadOwner);
    m.readOnly();
    const ProgramLocations where(m.inputs());
    QVERIFY(!where.portable());
    QCOMPARE(where.dataFolder(), m.home() + "/.local/share/vx4418m");
  }

  void readOnlySettingsFileInAFolderWithoutDatabaseIsInstalled() {
    Machine m;
    WriteFile(QDir(m.exe()).filePath("VX4418.ini"), "");
    QFile::setPermissions(QDir(m.exe()).filePath("VX4418.ini"), QFileDevice::ReadOwner);
    if (QFileInfo(QDir(m.exe()).filePath("VX4418.ini")).isWritable())
      QSKIP("root writes into read-only files");
    QVERIFY(!ProgramLocations(m.inputs()).portable());
  }

  void xdgFolders_data() {
    QTest::addColumn<QString>("config");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("settingsFolder"); // relative to the machine's root
    QTest::addColumn<QString>("dataFolder");
    QTest::newRow("unset") << ""
                           << ""
                           << "home/.config/vx4418m"
                           << "home/.local/share/vx4418m";
    QTest::newRow("set") << "@/cfg"
                         << "@/dat"
                         << "cfg/vx4418m"
                         << "dat/vx4418m";
    QTest::newRow("relative values are ignored") << "cfg"
                                                 << "dat"
                                                 << "home/.config/vx4418m"
                                                 << "home/.local/share/vx4418m";
    QTest::newRow("only data set") << ""
                                   << "@/dat"
                                   << "home/.config/vx4418m"
                                   << "dat/vx4418m";
  }
  void xdgFolders() {
    QFETCH(QString, config);
    QFETCH(QString, data);
    QFETCH(QString, settingsFolder);
    QFETCH(QString, dataFolder);
    Machine m;
    LocationInputs in = m.inputs();
    in.xdgConfigHome = QString(config).replace("@", m.root.path());
    in.xdgDataHome = QString(data).replace("@", m.root.path());
    const ProgramLocations where(in);
    QCOMPARE(where.settingsFolder(), m.root.filePath(settingsFolder));
    QCOMPARE(where.dataFolder(), m.root.filePath(dataFolder));
    QCOMPARE(where.databaseFile(), m.root.filePath(dataFolder) + "/DB/dbVX4418.db");
  }

  void environmentGivesTheInputs() {
    QProcessEnvironment env;
    env.insert("HOME", "/home/a");
    env.insert("XDG_DATA_HOME", "/srv/data");
    const LocationInputs in = LocationInputs::FromEnvironment("/usr/lib/vx4418m", env);
    QCOMPARE(in.home, QString("/home/a"));
    QCOMPARE(in.xdgConfigHome, QString());
    QCOMPARE(in.xdgDataHome, QString("/srv/data"));
    QCOMPARE(in.systemSettingsFile, QString("/etc/vx4418m/VX4418.ini"));
  }

  void firstStartMakesFoldersAndDatabaseFromTheInstalledSchema() {
    Machine m;
    m.installSchema();
    const ProgramLocations where(m.inputs());
    QString error;
    QVERIFY2(where.prepare(&error), qPrintable(error));
    QVERIFY(QFileInfo(where.settingsFolder()).isDir());
    QVERIFY(!QFileInfo::exists(where.settingsFile())); // written by the start itself
    const QStringList tables = TablesOf(where.databaseFile());
    QVERIFY2(tables.contains("TableUser") && tables.contains("TableHistory"),
             qPrintable(tables.join(',')));
    QVERIFY(!QFileInfo::exists(where.databaseFile() + ".new"));
  }

  void laterStartsLeaveTheUsersDatabaseAlone() {
    Machine m;
    m.installSchema();
    const ProgramLocations where(m.inputs());
    QVERIFY(where.prepare());
    WriteFile(where.databaseFile(), "the user's own");
    QVERIFY(where.prepare());
    QCOMPARE(ReadFile(where.databaseFile()), QByteArray("the user's own"));
  }

  void missingSchemaIsTold() {
    Machine m; // no db/schema.sql beside the executable
    const ProgramLocations where(m.inputs());
    QString error;
    QVERIFY(!where.prepare(&error));
    QVERIFY2(error.contains("schema.sql"), qPrintable(error));
    QVERIFY(!QFileInfo::exists(where.databaseFile()));
    QVERIFY(QFileInfo(where.settingsFolder()).isDir());
  }

  void siteDefaultsAreCopiedForAUserWithoutSettings() {
    Machine m;
    m.installSchema();
    WriteFile(m.etc(), "[Data Base]\nADOFile=postgresql://desk@dbhost/dose\n");
    QFile::setPermissions(m.etc(), QFileDevice::ReadOwner | QFileDevice::ReadOther);
    const ProgramLocations where(m.inputs());
    QVERIFY(where.prepare());
    QCOMPARE(ReadFile(where.settingsFile()), ReadFile(m.etc()));
    QVERIFY(QFileInfo(where.settingsFile()).isWritable());
  }

  void siteDefaultsNeverReplaceTheUsersSettings() {
    Machine m;
    m.installSchema();
    WriteFile(m.etc(), "[Data Base]\nADOFile=postgresql://desk@dbhost/dose\n");
    const ProgramLocations where(m.inputs());
    WriteFile(where.settingsFile(), "[Lang]\nLangFile=LangES.txt\n");
    QVERIFY(where.prepare());
    QCOMPARE(ReadFile(where.settingsFile()), QByteArray("[Lang]\nLangFile=LangES.txt\n"));
  }

  void portableFolderIsLeftAsItIs() {
    Machine m;
    QVERIFY(QDir().mkpath(QDir(m.exe()).filePath("DB")));
    WriteFile(m.etc(), "[Lang]\nLangFile=LangR.txt\n");
    const ProgramLocations where(m.inputs());
    QVERIFY(where.prepare());
    QVERIFY(!QFileInfo::exists(QDir(m.exe()).filePath("VX4418.ini")));
    QVERIFY(!QFileInfo::exists(QDir(m.exe()).filePath("DB/dbVX4418.db")));
    QVERIFY(!QFileInfo::exists(m.home() + "/.config"));
  }

  void newDatabaseNeverOverwrites() {
    QTemporaryDir dir;
    const QString file = dir.filePath("db.db");
    WriteFile(file, "keep");
    QString error;
    QVERIFY(!CreateDatabaseFromSchema(file, VX_SCHEMA_FILE, &error));
    QCOMPARE(ReadFile(file), QByteArray("keep"));
  }

  void brokenSchemaLeavesNoFile() {
    QTemporaryDir dir;
    WriteFile(dir.filePath("bad.sql"), "CREATE TABLE a (x);\nCREATE TABLE oops (;\n");
    QString error;
    QVERIFY(!CreateDatabaseFromSchema(dir.filePath("db.db"), dir.filePath("bad.sql"), &error));
    QVERIFY2(error.contains("bad.sql"), qPrintable(error));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"bad.sql"});
  }
};

QTEST_GUILESS_MAIN(TestLocations)
#include "tst_locations.moc"
