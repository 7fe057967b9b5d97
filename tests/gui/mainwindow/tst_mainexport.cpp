// The commands that take rows out of the lists (text file, clipboard, office
// files) and the one that brings another database in.
#include "MainWindowRun.h"
#include "db/TDM.h"
#include "history/FormJournal.h"
#include "history/JournalList.h"

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

class TestMainExport : public QObject {
  Q_OBJECT
private slots:
  void saveAsTextWritesTheFilledSelectedRows();
  void copyPutsTheSelectionOnTheClipboard();
  void historyListIsTheTargetWhileShown();
  void unwritableFileIsReportedByTheCommand();
  void saveWithNothingSelectedDoesNothing();
  void importMergesAnotherDatabase();
  void importCancelledChangesNothing();
  void importRefusesTheDatabaseInUse();
  void importCancelledFromItsProgressRollsBack();
  void journalShowsTheChangesNewestFirstInTheLanguageInUse();
};

namespace {
void people(Run &run) {
  run.quietSettings();
  exec(run.db(),
       {insertUser("'Abcd'", "'Efgh'", "''", "105"), insertUser("'Петров'", "'Иван'", "'Ильич'"),
        insertEvent(1, "45000.5", "5"), insertEvent(1, "45001.5", "6")});
  run.start();
}

// A writable copy of the supplied database in `dir`.
QString suppliedCopy(const QTemporaryDir &dir) {
  const QString path = dir.filePath("other.db");
  if (QFile::copy(QStringLiteral(VX_SUPPLIED_DB), path))
    QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
  return path;
}

QByteArray readAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

void TestMainExport::saveAsTextWritesTheFilledSelectedRows() {
  Run run;
  people(run);
  // A selection running into the empty rows below the last person.
  run.main().SG_User->SelectRows(1, 5);
  const QString path = run.folder.file("out.txt");
  run.files.names.push_back(path);
  run.main().action("ASaveToAscii")->trigger();
  QCOMPARE(QString::fromUtf8(readAll(path)), QString("Abcd\t\tEfgh\t\t\t\t105\t\t\r\n"
                                                     "Петров\t\tИван\t\tИльич\t\t\t\t\r\n"));
}

void TestMainExport::copyPutsTheSelectionOnTheClipboard() {
  Run run;
  people(run);
  run.main().SG_User->SelectRows(1, 3);
  run.main().action("ACopyToClipboard")->trigger();
  QCOMPARE(QGuiApplication::clipboard()->text(), QString("Abcd\t\tEfgh\t\t\t\t105\n"
                                                         "Петров\t\tИван\t\tИльич\t\t\n"
                                                         "\n"));
}

void TestMainExport::historyListIsTheTargetWhileShown() {
  Run run;
  people(run);
  run.main().SG_User->SelectRow(1);
  run.main().action("AViewHistory")->trigger();
  QVERIFY(run.main().HistoryShown());
  run.main().action("ASelectAll")->trigger();
  const QString path = run.folder.file("history.txt");
  run.files.names.push_back(path);
  run.main().action("ASaveToAscii")->trigger();
  const QStringList lines = QString::fromUtf8(readAll(path)).split("\r\n", Qt::SkipEmptyParts);
  QCOMPARE(lines.size(), 2);
  QVERIFY(lines[0].contains(run.state.Texts.at(21)));
  QVERIFY(lines[1].contains(run.state.Texts.at(22)));
}

void TestMainExport::unwritableFileIsReportedByTheCommand() {
  Run run;
  people(run);
  run.main().SG_User->SelectRows(1, 2);
  const QString path = run.folder.file("no/such/folder/out.txt");
  run.files.names.push_back(path);
  QVERIFY_THROWS_NO_EXCEPTION(run.main().action("ASaveToAscii")->trigger());
  QCOMPARE(run.messages.shown.size(), std::size_t(1));
  QCOMPARE(run.messages.shown.front().kind, OperatorMessages::Error);
  QVERIFY2(run.messages.shown.front().text.contains("out.txt"),
           qPrintable(run.messages.shown.front().text));
  QVERIFY(!QFile::exists(path));
}

void TestMainExport::saveWithNothingSelectedDoesNothing() {
  Run run;
  people(run);
  run.main().SG_User->clearSelection();
  const QString path = run.folder.file("out.txt");
  run.files.names.push_back(path);
  run.main().action("ASaveToAscii")->trigger();
  QCOMPARE(run.files.names.size(), std::size_t(1)); // no file asked for
  QVERIFY(run.messages.shown.empty());
  QVERIFY(!QFile::exists(path));
}

void TestMainExport::importMergesAnotherDatabase() {
  Run run;
  people(run);
  QTemporaryDir other;
  const QString otherDb = suppliedCopy(other);
  exec(otherDb, {insertUser("'Abcd'", "'Efgh'", "NULL"), insertUser("'Zed'", "'Zoe'", "NULL"),
                 insertEvent(2, "45100.75", "1", "0.0005", "0.002", "2000002")});
  run.files.names.push_back(otherDb);
  run.main().action("AImport")->trigger();
  // Abcd Efgh with no middle name is the same person; Zed is added.
  const StringGridModel &g = run.main().SG_User->cells();
  QCOMPARE(g.Cell(0, 3), QString("Zed"));
  QCOMPARE(g.Cell(0, 4), QString());
  QCOMPARE(scalar(run.db(), "SELECT COUNT(*) FROM TableHistory WHERE DeviceId = 2000002 AND "
                            "EventType = 1 AND DateTimeEvent = 45100.75"),
           qint64(1));
  // The summary says what was done, in the language in use.
  QCOMPARE(run.messages.texts().last(),
           run.state.Texts.text(ProgramText::ImportSummary).arg(1).arg(1).arg(1).arg(0));
}

void TestMainExport::importCancelledChangesNothing() {
  Run run;
  people(run);
  run.main().action("AImport")->trigger(); // no file name queued: cancelled
  QCOMPARE(scalar(run.db(), "SELECT COUNT(*) FROM TableUser"), qint64(2));
}

void TestMainExport::importRefusesTheDatabaseInUse() {
  Run run;
  people(run);
  run.files.names.push_back(run.db());
  run.main().action("AImport")->trigger();
  QCOMPARE(run.messages.shown.size(), size_t(1));
  QCOMPARE(run.messages.shown[0].kind, OperatorMessages::Error);
  QVERIFY(run.messages.shown[0].text.contains("cannot be imported into itself"));
  QCOMPARE(scalar(run.db(), "SELECT COUNT(*) FROM TableHistory"), qint64(2));
}

void TestMainExport::importCancelledFromItsProgressRollsBack() {
  Run run;
  people(run);
  QTemporaryDir other;
  const QString otherDb = suppliedCopy(other);
  exec(otherDb, {insertUser("'Zed'", "'Zoe'", "NULL"),
                 "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 49999) "
                 "INSERT INTO TableHistory SELECT 7, (SELECT MAX(UserId) FROM TableUser), "
                 "45000 + i, 1, 0, 0 FROM n"});
  run.files.names.push_back(otherDb);
  int seen = 0;
  whenShown(
      "ImportProgress", [](QDialog *d) { static_cast<QProgressDialog *>(d)->cancel(); }, &seen);
  run.main().action("AImport")->trigger();
  QCOMPARE(seen, 1);
  QVERIFY(run.messages.shown.empty());
  QCOMPARE(scalar(run.db(), "SELECT COUNT(*) FROM TableUser"), qint64(2));
  QCOMPARE(scalar(run.db(), "SELECT COUNT(*) FROM TableHistory"), qint64(2));
}

// The journal is on the Utilities menu: the import and a person's deletion
// made in this run, newest first, with the desk and the person's name while
// she is in the register; the texts follow the language chosen.
void TestMainExport::journalShowsTheChangesNewestFirstInTheLanguageInUse() {
  Run run;
  people(run);
  QTemporaryDir other;
  const QString otherDb = suppliedCopy(other);
  exec(otherDb, {insertUser("'Zed'", "'Zoe'", "NULL"),
                 insertEvent(1, "45100.75", "1", "0.0005", "0.002", "2000002")});
  run.files.names.push_back(otherDb);
  run.main().action("AImport")->trigger();
  QCOMPARE(run.messages.shown.size(), std::size_t(1)); // the import's summary
  run.messages.shown.clear();
  run.ctx.DM->JournalLog().SetDesk("Gate 2", "op");
  QCOMPARE(run.ctx.DM->Register().UpdatePerson(2, "Petrova", "Anna", ""), true);
  run.main().action("RussianLang")->trigger();

  QVERIFY(
      run.main().findChild<QMenu *>("NUtils")->actions().contains(run.main().action("AJournal")));
  QCOMPARE(run.main().action("AJournal")->text(), QString("Журнал"));
  QStringList first, header;
  int rows = 0;
  whenShown("FormJournal", [&](QDialog *d) {
    auto *form = static_cast<TFormJournal *>(d);
    QAbstractItemModelTester tester(form->TV_Journal->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    rows = form->Rows->rowCount();
    for (int c = 0; c < JournalModel::Columns; ++c) {
      first << form->Rows->Cell(0, c);
      header << form->Rows->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    form->SB_Close->click();
  });
  run.main().action("AJournal")->trigger();
  QCOMPARE(rows, 2);
  QCOMPARE(first.mid(1),
           (QStringList{"Gate 2", "op", "Сотрудник изменён", "Petrova Anna (2)", "", ""}));
  QCOMPARE(header.first(), QString("Время"));
  QVERIFY(run.messages.shown.empty());

  // A database without the journal says so and shows nothing.
  exec(run.db(), {"DROP TABLE TableJournal"});
  run.main().action("AJournal")->trigger();
  QCOMPARE(run.messages.shown.size(), size_t(1));
  QVERIFY(run.messages.shown[0].text.startsWith("Журнал прочитать невозможно."));
}

QObject *makeTestMainExport() {
  return new TestMainExport;
}

#include "tst_mainexport.moc"
