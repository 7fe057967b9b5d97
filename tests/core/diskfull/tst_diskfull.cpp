// Every file the program writes, on a disk that fills up: the write fails with
// the system's reason and the file on the disk stays exactly as it was.
#include <QDir>
#include <QFile>
#include <QTest>
#include <cerrno>
#include <cstring>

#include "SmallDisk.h"
#include "export/OfficeExport.h"
#include "export/SaveWhole.h"
#include "export/TextExport.h"
#include "rtf/RtfFile.h"
#include "rtf/RtfWriter.h"
#include "settings/ProfileFile.h"
#include "settings/ProgramSettings.h"
#include "state/AppState.h"

namespace {

QByteArray ReadAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

const QString NoSpace = QString::fromLocal8Bit(std::strerror(ENOSPC));

// What the folder holds besides the fillers: a failed save leaves no temporary
// file behind.
QStringList Files(const QString &folder) {
  QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
  names.removeIf([](const QString &n) { return n.startsWith("filler-"); });
  return names;
}

RtfDocument Lines(int count, const QString &text) {
  RtfDocument document;
  for (int i = 0; i < count; ++i) {
    RtfParagraph paragraph;
    paragraph.append(QStringLiteral("%1 %2").arg(i).arg(text), RtfCharFormat{});
    document.paragraphs.append(paragraph);
  }
  return document;
}

// Three filled columns in every row.
GridText Grid() {
  return GridText{
      3, [](int column, int row) { return QStringLiteral("r%1c%2").arg(row).arg(column); }};
}

} // namespace

class TestDiskFull : public QObject {
  Q_OBJECT

private slots:
  // A short text stays in the file device's buffer until the commit; a long
  // one goes out at once and stops where the disk does.
  void textSaveKeepsTheOldFile_data() {
    QTest::addColumn<qint64>("room");
    QTest::addColumn<int>("size");
    QTest::newRow("no room, short text") << qint64(0) << 300;
    QTest::newRow("8 KiB of room, 100 KB text") << qint64(8192) << 100'000;
  }
  void textSaveKeepsTheOldFile() {
    QFETCH(qint64, room);
    QFETCH(int, size);
    SmallDisk disk;
    REQUIRE_SMALL_DISK(disk);
    const QString path = disk.file("list.txt");
    const QString old = QStringLiteral("Abcd\t\tEfgh\t\t\t\t105\t\t\r\n");
    QVERIFY(SaveTextFile(path, old));
    disk.fill(room);

    QString error;
    QVERIFY(!SaveTextFile(path, QString(size, u'x'), &error));
    QCOMPARE(error, NoSpace);
    QCOMPARE(ReadAll(path), old.toUtf8());
    QCOMPARE(Files(disk.path()), QStringList{"list.txt"});
  }

  void saveWithoutOldFileLeavesNoFile() {
    SmallDisk disk;
    REQUIRE_SMALL_DISK(disk);
    disk.fill();
    QString error;
    QVERIFY(!SaveWhole(disk.file("new.txt"), "a few bytes", &error));
    QCOMPARE(error, NoSpace);
    QVERIFY(Files(disk.path()).isEmpty());
  }

  void rtfSaveKeepsTheOldFileAndSavesOnceThereIsRoom() {
    SmallDisk disk;
    REQUIRE_SMALL_DISK(disk);
    const QString path = disk.file("history.rtf");
    const RtfDocument before = Lines(40, "Gamma alarm 0.250 Sv/h");
    QVERIFY(SaveRtfFile(path, before));
    const QByteArray old = ReadAll(path);
    disk.fill(4096);

    const RtfDocument after = Lines(800, "Dose alarm 1.000 mSv");
    QString error;
    QVERIFY(!SaveRtfFile(path, after, &error));
    QCOMPARE(error, NoSpace);
    QCOMPARE(ReadAll(path), old);

    QVERIFY(QFile::remove(disk.file("filler-0")));
    QVERIFY2(SaveRtfFile(path, after, &error), qPrintable(error));
    QCOMPARE(ReadAll(path), WriteRtf(after));
    QCOMPARE(Files(disk.path()), QStringList{"history.rtf"});
  }

  void settingsFileKeepsEveryLine() {
    SmallDisk disk;
    REQUIRE_SMALL_DISK(disk);
    const QString path = disk.file("VX4418.ini");
    const QByteArray old =
        "[Data Base]\nADOFile=/srv/share/dbVX4418.db\n[Lang]\nLangFile=LangR.txt\n"
        "[Program setting]\nSock=1\nPortIr=COM3\nRunSet=0\n";
    QVERIFY(SaveWhole(path, old));
    disk.fill();

    ProfileFile ini(path);
    QVERIFY(!ini.writeString("Lang", "LangFile", "LangES.txt"));
    QCOMPARE(ini.lastError(), NoSpace);
    QCOMPARE(ReadAll(path), old);

    // The exit's six writes all fail; the reason comes back and the database
    // path stays.
    AppState state;
    state.Paths.SettingsFile = path;
    state.Paths.ADOFile = "/srv/share/dbVX4418.db";
    state.Paths.LangFile = "LangES.txt";
    state.ProgSetting.Roentgen = true;
    QString error;
    QVERIFY(!SaveSettings(state, disk.path(), &error));
    QCOMPARE(error, NoSpace);
    QCOMPARE(ReadAll(path), old);
  }

  void officeFilesAreWrittenWholeOrNotAtAll() {
    SmallDisk disk;
    REQUIRE_SMALL_DISK(disk);
    disk.fill(1024);
    QString error;
    QVERIFY(!WriteOdtTable(disk.file("list.odt"), Grid(), 1, 200, &error));
    QCOMPARE(error, NoSpace);
    QVERIFY(!WriteXlsxCells(disk.file("list.xlsx"), Grid(), 1, 200, &error));
    QCOMPARE(error, NoSpace);
    QVERIFY(Files(disk.path()).isEmpty());
  }

  // Outside a full disk: the reason names what went wrong, the message
  // carries the file.
  void reasonsAndMessages() {
    QTemporaryDir dir;
    QString error;
    QVERIFY(!SaveWhole(dir.filePath("no such folder/a.txt"), "x", &error));
    QVERIFY2(!error.isEmpty(), "a failed save gives a reason");
    QVERIFY(!SaveWhole(dir.path(), "x", &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(FileProblemText("Save select part", "/a/b.txt", NoSpace),
             "Save select part\n" + QDir::toNativeSeparators("/a/b.txt") + "\n" + NoSpace);
  }
};

QTEST_MAIN(TestDiskFull)
#include "tst_diskfull.moc"
