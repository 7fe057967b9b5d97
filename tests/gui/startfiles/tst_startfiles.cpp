// The main window's start and exit with a database that cannot be opened and a
// disk that is full, and the text export onto a full disk: the operator is told
// which file and why, and no file is lost or overwritten.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "ProgramRunBase.h"
#include "SmallDisk.h"
#include "TestDatabase.h"
#include "export/SaveWhole.h"
#include "main/MainForm.h"
#include "main/StringGrid.h"
#include "settings/ProfileFile.h"

namespace {

const QString NoSpace = QString::fromLocal8Bit(std::strerror(ENOSPC));

QByteArray ReadAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteAll(const QString &path, const QByteArray &bytes) {
  QVERIFY(QDir().mkpath(QFileInfo(path).path()));
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  QCOMPARE(file.write(bytes), bytes.size());
}

QString AddPerson(const QString &second) {
  return QStringLiteral("INSERT INTO TableUser (UserSecondName, UserFirstName, DeviceId) "
                        "VALUES ('%1', 'Efgh', -1)")
      .arg(second);
}

// One run of the program on a folder of its own; the settings window stays
// closed.
struct Desk : ProgramRunBase {
  explicit Desk(const QString &programFolder = QString()) {
    ctx.executableFolder = programFolder.isEmpty() ? folder.path() : programFolder;
  }
  QString ini() const { return QDir(ctx.executableFolder).filePath("VX4418.ini"); }
  void settingsNaming(const QString &database) {
    WriteAll(ini(),
             "[Data Base]\nADOFile=" + database.toUtf8() + "\n[Program setting]\nRunSet=0\n");
  }
  void start() {
    windows = CreateProgramWindows(ctx);
    windows->MainForm->show();
  }
  void close() { main().action("ExitApp")->trigger(); }
  TMainForm &main() { return *windows->MainForm; }
  QString firstSecondName() { return main().SG_User->cells().Cell(0, 1); }
  QStringList errors() const {
    QStringList out;
    for (const auto &m : messages.shown)
      if (m.kind == OperatorMessages::Error)
        out << m.text;
    return out;
  }
};

} // namespace

class TestStartFiles : public QObject {
  Q_OBJECT

private slots:
  void unusableDatabaseIsToldAndKeptInTheSettings_data() {
    QTest::addColumn<QByteArray>("contents"); // empty: no file, as on a share not mounted
    QTest::addColumn<QString>("reason");
    QTest::newRow("share not mounted")
        << QByteArray() << QString::fromLocal8Bit(std::strerror(ENOENT));
    QTest::newRow("not a database") << QByteArray(4096, 'x') << QString("file is not a database");
  }
  void unusableDatabaseIsToldAndKeptInTheSettings() {
    QFETCH(QByteArray, contents);
    QFETCH(QString, reason);
    Desk desk;
    exec(desk.folder.databasePath(), {AddPerson("Local")});
    const QString shared = desk.folder.file("share/dbVX4418.db");
    if (!contents.isEmpty())
      WriteAll(shared, contents);
    desk.settingsNaming(shared);

    desk.start();
    QCOMPARE(desk.errors(), QStringList{desk.state.Texts.at(67) + "\n" +
                                        QDir::toNativeSeparators(shared) + "\n" + reason});
    QCOMPARE(desk.firstSecondName(), QString("Local"));

    desk.close();
    QCOMPARE(desk.messages.shown.size(), 1u);
    QCOMPARE(ProfileFile(desk.ini()).readString("Data Base", "ADOFile", "?"), shared);
    if (!contents.isEmpty())
      QCOMPARE(ReadAll(shared), contents);
  }

  void databaseNewerThanTheProgramIsToldAndLeftAlone() {
    Desk desk;
    const QString shared = desk.folder.file("share/dbVX4418.db");
    QVERIFY(QDir().mkpath(QFileInfo(shared).path()));
    QVERIFY(QFile::copy(desk.folder.databasePath(), shared));
    exec(shared, {AddPerson("Newer"), "PRAGMA user_version = 99"});
    desk.settingsNaming(shared);

    desk.start();
    QCOMPARE(desk.errors().size(), 1);
    QVERIFY2(desk.errors().first().startsWith(desk.state.Texts.at(67) + "\n"),
             qPrintable(desk.errors().first()));
    QVERIFY2(desk.errors().first().contains("99"), qPrintable(desk.errors().first()));
    QCOMPARE(desk.firstSecondName(), QString()); // nothing of it is shown
    desk.close();
    QCOMPARE(scalar(shared, "PRAGMA user_version"), 99);
    QCOMPARE(scalar(shared, "SELECT COUNT(*) FROM TableUser"), 1);
  }

  void databaseUnderAPathWithSemicolonIsOpened() {
    Desk desk;
    const QString shared = desk.folder.file("share;b=c/dbVX4418.db");
    QVERIFY(QDir().mkpath(QFileInfo(shared).path()));
    QVERIFY(QFile::copy(desk.folder.databasePath(), shared));
    exec(shared, {AddPerson("Shared")});
    desk.settingsNaming(shared);

    desk.start();
    QVERIFY(desk.messages.shown.empty());
    QCOMPARE(desk.firstSecondName(), QString("Shared"));
    desk.close();
    QCOMPARE(ProfileFile(desk.ini()).readString("Data Base", "ADOFile", "?"), shared);
  }

  void settingsThatCannotBeWrittenAreToldOnceAtExit() {
    SmallDisk disk(512);
    REQUIRE_SMALL_DISK(disk);
    Desk desk(disk.path());
    const QString database = disk.file("DB/dbVX4418.db");
    QVERIFY(QDir().mkpath(disk.file("DB")));
    QVERIFY(QFile::copy(desk.folder.databasePath(), database));
    desk.settingsNaming(database);
    desk.start();
    QVERIFY(desk.messages.shown.empty());
    const QByteArray before = ReadAll(desk.ini());
    QVERIFY(before.contains("ADOFile=" + database.toUtf8()));

    disk.fill();
    desk.state.ProgSetting.Roentgen = true;
    desk.close();
    QCOMPARE(desk.errors(),
             QStringList{FileProblemText(desk.state.Texts.at(8), desk.ini(), NoSpace)});
    QCOMPARE(desk.messages.shown.size(), 1u);
    QCOMPARE(ReadAll(desk.ini()), before);
  }

  void textSavedOntoAFullDiskIsToldAndTheOldFileKept() {
    SmallDisk disk;
    REQUIRE_SMALL_DISK(disk);
    Desk desk;
    exec(desk.folder.databasePath(), {AddPerson("Abcd"), AddPerson("Efgh")});
    desk.settingsNaming(desk.folder.databasePath());
    desk.start();
    const QString path = disk.file("list.txt");
    WriteAll(path, "kept\r\n");
    disk.fill();

    desk.main().SG_User->SelectRows(1, 2);
    desk.files.names.push_back(path);
    desk.main().ASaveToAsciiExecute();
    QCOMPARE(desk.messages.texts(),
             QStringList{FileProblemText(desk.state.Texts.at(97), path, NoSpace)});
    QCOMPARE(ReadAll(path), QByteArray("kept\r\n"));
  }
};

QTEST_MAIN(TestStartFiles)
#include "tst_startfiles.moc"
