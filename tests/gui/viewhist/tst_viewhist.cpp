// The read-history window: the text of a history, the person list,
// registration and a new person from the window, and the rich-text file
// commands (save, load, damaged files, print).
#include "FakeInstrument.h"
#include "FakeIrdaStack.h"
#include "ProgramRunBase.h"
#include "db/TDM.h"
#include "dialogs/FormPrintHistory.h"
#include "dialogs/FormUser.h"
#include "exchanges/FormRead.h"
#include "exchanges/FormReg.h"
#include "history/DayCount.h"
#include "history/FormViewHist.h"
#include "main/MainForm.h"
#include "main/StringGrid.h"

#include "TestDatabase.h"
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <vector>

namespace {

QVariant Scalar(const QString &dbPath, const QString &select) {
  return query(dbPath, select).value(0).toList().value(0);
}

void Exec(const QString &dbPath, const QString &statement) {
  exec(dbPath, {statement});
}

QByteArray ReadAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString &path, const QByteArray &data) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(data);
}

// One run of the program's windows.
struct Run : ProgramRunBase {
  std::shared_ptr<FakeIrdaStack> stack = std::make_shared<FakeIrdaStack>();

  Run() {
    ctx.executableFolder = folder.path();
    state.Paths.ProgramFolder = folder.path();
    state.Paths.ADOFile = folder.databasePath();
    state.Irda = std::make_shared<IrdaTransport>(stack);
    state.Irda->Sleep = [](int) {};
    windows = CreateProgramWindows(ctx);
    ctx.FormRead->AttemptIntervalMs = 1000000; // the tests answer the exchange themselves
  }
  TFormViewHist &view() { return *ctx.FormViewHist; }
  QStringList lines() {
    QStringList out;
    for (QTextBlock b = view().RE_History->document()->begin(); b.isValid(); b = b.next())
      out << b.text();
    return out;
  }
  bool lineBold(int line) {
    const QTextBlock b = view().RE_History->document()->findBlockByNumber(line);
    for (auto it = b.begin(); !it.atEnd(); ++it)
      if (it.fragment().charFormat().fontWeight() < QFont::DemiBold)
        return false;
    return true;
  }
  int addUser(const QString &second, const QString &first, const QVariant &middle,
              int device = -1) {
    const QString m = middle.isNull() ? "NULL" : "'" + middle.toString() + "'";
    Exec(folder.databasePath(),
         QString("INSERT INTO TableUser (UserSecondName, UserFirstName, UserMiddleName, DeviceId) "
                 "VALUES ('%1', '%2', %3, %4)")
             .arg(second, first, m)
             .arg(device));
    return Scalar(folder.databasePath(), "SELECT MAX(UserId) FROM TableUser").toInt();
  }
  QVariant deviceOf(int userId) {
    return Scalar(folder.databasePath(),
                  QString("SELECT DeviceId FROM TableUser WHERE UserId=%1").arg(userId));
  }
  int events() {
    return Scalar(folder.databasePath(), "SELECT COUNT(*) FROM TableHistory").toInt();
  }
  // Fills the window as the read command does and shows it without blocking.
  void open(const Bytes &history, const REG_STATE &reg) {
    state.RegState = reg;
    view().Tag = reg.UserId < 1 ? 0 : 1;
    view().FillHistory(history.data(), int(history.size()), reg);
    view().ApplyTexts();
    view().show();
  }
  // The registration dialog and the exchange answered as an operator and an
  // instrument with number `deviceId` would.
  void answerRegistration(bool regOk, bool clearAll, bool exchangeOk, int deviceId) {
    QTimer::singleShot(0, [=, this] {
      ctx.FormReg->RB_ClearAll->setChecked(clearAll);
      ctx.FormReg->RB_SaveAll->setChecked(!clearAll);
      if (!regOk) {
        ctx.FormReg->SB_CancelClick();
        return;
      }
      QTimer::singleShot(0, [=, this] {
        QCOMPARE(ctx.FormRead->Tag, int(TFormRead::RegisterMode));
        if (exchangeOk) {
          state.RegState.DeviceId = deviceId;
          ctx.FormRead->done(QDialog::Accepted);
        } else {
          ctx.FormRead->SB_CancelClick();
        }
      });
      ctx.FormReg->SB_RegClick();
    });
  }
};

REG_STATE Unregistered(qint32 device = 1234567) {
  REG_STATE reg;
  reg.DeviceId = device;
  reg.UserId = 0;
  reg.ActivationTime = DayCountOf(QDate(2024, 2, 1), QTime(8, 5, 7));
  return reg;
}

Bytes KnownHistory() {
  Bytes h;
  auto add = [&h](const Bytes &r) { h.insert(h.end(), r.begin(), r.end()); };
  add(Record(1, 2, 24, 9, 10, 1, 0, 0, 0.012f));
  add(Record(1, 2, 24, 9, 11, 2));
  add(Record(2, 2, 24, 0, 0, 3, 0, 7));
  add(Record(3, 2, 24, 10, 0, 4, 0, 9));
  add(Record(4, 2, 24, 11, 30, 5, 0.25f, 0, 0.012f));
  add(Record(29, 2, 24, 23, 59, 16, 0.0005f));
  add(Record(5, 2, 24, 12, 0, 32, 0, 0, 0.002f));
  add(Record(6, 2, 24, 13, 0, 64));
  add(Record(7, 2, 24, 13, 0, 8));   // unknown kind: no line
  add(Record(29, 2, 23, 13, 0, 16)); // 29 February 2023: rejected
  add(Bytes(10, 1));                 // trailing part of a record
  return h;
}

const QString rtfData = QStringLiteral(VX_SOURCE_DIR "/tests/core/rtf/data/wordprocessor.rtf");

} // namespace

class TestViewHist : public QObject {
  Q_OBJECT
private slots:
  void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }

  // The text of a reading.
  void historyTextInBothUnits_data();
  void historyTextInBothUnits();
  void headerOfAHeldInstrumentAndAnEmptyHistory();
  void eventNamesFollowTheLanguage();
  void eventTimesInAnotherLocale();
  void showHistoryFillsFromTheReading();

  // People without an instrument.
  void personListAndModes();
  void noFreePersonRegistrationAsksForOne();

  // Registration from the window.
  void registrationRegistersAndRefreshes();
  void registrationRefusedOrCancelled();
  void registrationWithAnInstrumentInRange();
  void registrationOfAPersonNoLongerInTheList();
  void registrationGoesToThePersonChosen();
  void newPersonIsSelected();

  // Rich-text files.
  void saveThenLoadRoundTrip();
  void loadsAWordProcessorFile();
  void damagedFilesLoadAsWhatCanBeRead();
  void printLeavesTheTextAsItWas();
  void dialogsStartInTheHistoryFolder();
  void aFailedSaveIsNotSilent();

  void textsAndHints();
};

void TestViewHist::historyTextInBothUnits_data() {
  QTest::addColumn<bool>("roentgen");
  QTest::addColumn<QStringList>("expected");
  const QStringList header = {"Device № 1234567 (not register)", "Device time 01/02/2024 08:05:07"};
  QTest::newRow("sievert")
      << false
      << header + QStringList{"01/02/2024 09:10:00 Device оn ",
                              "01/02/2024 09:11:00 Device оff ",
                              "02/02/2024 Phosphorum alarm",
                              "03/02/2024 10:00:00 Arsenium alarm",
                              "04/02/2024 11:30:00 Time alarm DER 0.250 Sv/h, DE 12.000 mSv",
                              "29/02/2024 23:59:00 Gamma alarm 500.000 uSv/h",
                              "05/02/2024 12:00:00 Doze alarm 2.000 mSv",
                              "06/02/2024 13:00:00 Battary off"};
  QTest::newRow("roentgen") << true
                            << header +
                                   QStringList{
                                       "01/02/2024 09:10:00 Device оn ",
                                       "01/02/2024 09:11:00 Device оff ",
                                       "02/02/2024 Phosphorum alarm",
                                       "03/02/2024 10:00:00 Arsenium alarm",
                                       "04/02/2024 11:30:00 Time alarm DER 25.000 R/h, DE 1.200 R",
                                       "29/02/2024 23:59:00 Gamma alarm 50.000 mR/h",
                                       "05/02/2024 12:00:00 Doze alarm 0.200 R",
                                       "06/02/2024 13:00:00 Battary off"};
}

void TestViewHist::historyTextInBothUnits() {
  QFETCH(bool, roentgen);
  QFETCH(QStringList, expected);
  Run run;
  run.state.ProgSetting.Roentgen = roentgen;
  run.open(KnownHistory(), Unregistered());
  QCOMPARE(run.lines(), expected);
  QVERIFY(run.lineBold(0));
  QVERIFY(run.lineBold(1));
  for (int i = 2; i < expected.size(); ++i)
    QVERIFY2(!run.lineBold(i), qPrintable(expected[i]));
  QCOMPARE(run.view().RE_History->textCursor().position(), 0);
}

void TestViewHist::headerOfAHeldInstrumentAndAnEmptyHistory() {
  Run run;
  REG_STATE reg = Unregistered(42);
  reg.UserId = 5;
  reg.SecondName = "Abcd";
  reg.FirstName = "Efgh";
  reg.MiddleName = "Ijkl";
  reg.ActivationTime = DayCountOf(QDate(2024, 3, 4), QTime(0, 0));
  run.open({}, reg);
  QCOMPARE(run.lines(), (QStringList{"Device № 42 (Abcd Efgh Ijkl)", "Device time 04/03/2024"}));

  // A new reading replaces the text of the last one.
  run.open(KnownHistory(), Unregistered());
  QCOMPARE(run.lines().size(), 10);
  QCOMPARE(run.lines().first(), "Device № 1234567 (not register)");
}

void TestViewHist::eventNamesFollowTheLanguage() {
  Run run;
  QVERIFY(run.state.Texts.loadLanguageFile(run.folder.file("LangR.txt")));
  QVERIFY(run.state.Texts.at(13) != "Gamma alarm");
  run.open(Record(29, 2, 24, 23, 59, 16, 0.25f), Unregistered());
  const QStringList lines = run.lines();
  QCOMPARE(lines.size(), 3);
  QVERIFY(lines[0].startsWith(run.state.Texts.at(149) + " 1234567 " + run.state.Texts.at(194)));
  QCOMPARE(lines[2],
           "29/02/2024 23:59:00 " + run.state.Texts.at(13) + " 0.250 " + run.state.Texts.at(246));
}

void TestViewHist::eventTimesInAnotherLocale() {
  // Dates and times of day repeat across events; each line still reads as
  // the date-time text of its own event, in the locale's formats.
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  Run run;
  const int when[][3] = {{1, 9, 10}, {2, 9, 10}, {2, 0, 0}, {1, 21, 5}, {2, 21, 5}, {1, 0, 0}};
  Bytes history;
  QStringList expected;
  for (const auto &w : when) {
    const Bytes r = Record(w[0], 2, 24, w[1], w[2], 64);
    history.insert(history.end(), r.begin(), r.end());
    expected << TFormPrintHistory::EventTimeText(
                    std::optional<double>(DayCountOf(QDate(2024, 2, w[0]), QTime(w[1], w[2])))) +
                    " Battary off";
  }
  run.open(history, Unregistered());
  const QStringList lines = run.lines().mid(2);
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
  QCOMPARE(lines, expected);
  QVERIFY(expected[0].contains("AM") && expected[3].contains("PM"));
  QCOMPARE(expected[2], QString("2/2/24 Battary off")); // midnight: the date alone
}

void TestViewHist::showHistoryFillsFromTheReading() {
  Run run;
  const Bytes h = Record(29, 2, 24, 23, 59, 64);
  REG_STATE reg = Unregistered();
  reg.UserId = 3;
  reg.SecondName = "Abcd";
  reg.FirstName = "Efgh";
  QStringList seen;
  bool comboShown = true;
  QTimer::singleShot(0, [&] {
    seen = run.lines();
    comboShown = run.view().Cmb_User->isVisible() || run.view().tlbReg->isVisible();
    run.view().findChild<QToolButton *>("tlbClose")->click();
  });
  QCOMPARE(run.view().ShowHistory(h, reg), int(QDialog::Rejected));
  QCOMPARE(run.view().Tag, 1);
  QCOMPARE(seen, (QStringList{"Device № 1234567 (Abcd Efgh )", "Device time 01/02/2024 08:05:07",
                              "29/02/2024 23:59:00 Battary off"}));
  QVERIFY(!comboShown);
  QVERIFY(!run.view().isVisible());
}

void TestViewHist::personListAndModes() {
  Run run;
  run.addUser("Abcd", "Efgh", "Ijkl");
  run.addUser("Abcd", "Efgh", QVariant());
  run.addUser("Zed", "Yolanda", "");
  run.addUser("Holder", "Has", "One", 555);
  run.addUser("Noname", "", "Mid");
  run.open({}, Unregistered());
  QComboBox *combo = run.view().findChild<QComboBox *>("Cmb_User");
  QVERIFY(combo);
  QStringList items;
  for (int i = 0; i < combo->count(); ++i)
    items << combo->itemText(i);
  QCOMPARE(items, (QStringList{"Abcd E.I.", "Abcd E.", "Zed Y.", "Noname M."}));
  QCOMPARE(combo->currentIndex(), 0);
  QVERIFY(combo->isVisible());
  QVERIFY(run.view().findChild<QToolButton *>("tlbReg")->isVisible());
  QVERIFY(run.view().findChild<QToolButton *>("tlbNewUser")->isVisible());

  // The selection survives the next opening; a held instrument hides the
  // registration controls.
  combo->setCurrentIndex(2);
  run.view().hide();
  run.open({}, Unregistered());
  QCOMPARE(combo->currentIndex(), 2);
  run.view().hide();
  REG_STATE held = Unregistered();
  held.UserId = 3;
  run.open({}, held);
  QTRY_VERIFY(!combo->isVisible());
  QVERIFY(!run.view().findChild<QToolButton *>("tlbReg")->isVisible());
  QVERIFY(!run.view().findChild<QToolButton *>("tlbNewUser")->isVisible());
}

void TestViewHist::noFreePersonRegistrationAsksForOne() {
  Run run;
  run.addUser("Holder", "Has", "One", 555);
  run.open({}, Unregistered());
  QTRY_VERIFY(!run.view().Cmb_User->isVisible());
  QToolButton *reg = run.view().findChild<QToolButton *>("tlbReg");
  QVERIFY(reg->isVisible());
  reg->click();
  QCOMPARE(run.messages.texts(), QStringList{"Select user from users box"});
  QVERIFY(run.view().isVisible());
}

void TestViewHist::registrationRegistersAndRefreshes() {
  Run run;
  run.addUser("Abcd", "Efgh", "Ijkl");
  const int second = run.addUser("Abcd", "Efgh", "Ijkl"); // the same item twice
  const int first = second - 1;
  run.open(KnownHistory(), Unregistered());
  run.answerRegistration(true, false, true, 7654321);
  run.view().tlbRegClick();
  QVERIFY(run.messages.shown.empty());
  QVERIFY(!run.state.RegState.ClearAll);
  QCOMPARE(run.state.RegState.UserId, first);
  QCOMPARE(run.deviceOf(first).toInt(), 7654321);
  QCOMPARE(run.deviceOf(second).toInt(), -1);
  QCOMPARE(run.events(), 1); // the receive event only; the history shown is not filed
  QVERIFY(!run.view().isVisible());
  const StringGridModel &grid = run.ctx.MainForm->SG_User->cells();
  bool listed = false;
  for (int r = 0; r < grid.RowCount(); ++r)
    listed = listed || grid.Cell(3, r) == "7654321";
  QVERIFY(listed);
}

void TestViewHist::registrationRefusedOrCancelled() {
  Run run;
  const int free = run.addUser("Free", "Person", "");
  run.addUser("Holder", "Has", "One", 555);

  // Cancelled options: nothing happens and the window stays open.
  run.open({}, Unregistered());
  run.answerRegistration(false, true, false, 0);
  run.view().tlbRegClick();
  QVERIFY(run.view().isVisible());
  QCOMPARE(run.ctx.FormRead->isVisible(), false);

  // Cancelled exchange: the window closes, nothing is written.
  run.answerRegistration(true, true, false, 0);
  run.view().tlbRegClick();
  QVERIFY(run.state.RegState.ClearAll);
  QVERIFY(!run.view().isVisible());
  QCOMPARE(run.deviceOf(free).toInt(), -1);

  // An instrument someone else holds: the notice, nothing written.
  run.open({}, Unregistered());
  run.answerRegistration(true, true, true, 555);
  run.view().tlbRegClick();
  QCOMPARE(run.messages.texts(),
           QStringList{"This instrument is already register to another user!"});
  QCOMPARE(run.deviceOf(free).toInt(), -1);
  QCOMPARE(run.events(), 0);
  QVERIFY(!run.view().isVisible());
}

void TestViewHist::registrationWithAnInstrumentInRange() {
  Run run;
  FakeInstrument instrument;
  instrument.Attach(*run.stack);
  instrument.Append(Record(1, 2, 24, 9, 10, 16, 0.25f));
  run.ctx.FormRead->AttemptIntervalMs = 1;
  run.ctx.FormRead->ConnectPauseMs = 0;
  const int person = run.addUser("Free", "Person", "");
  run.open(instrument.History, Unregistered(4418));
  QTimer::singleShot(0, [&run] {
    run.ctx.FormReg->RB_ClearAll->setChecked(true);
    run.ctx.FormReg->SB_RegClick();
  });
  run.view().tlbRegClick();
  QVERIFY(run.messages.shown.empty());
  QCOMPARE(run.deviceOf(person).toInt(), 4418);
  QVERIFY(instrument.History.empty()); // cleared and restarted by the exchange
  QVERIFY(instrument.Commands.find('G') != std::string::npos);
  QVERIFY(!run.view().isVisible());
}

void TestViewHist::registrationOfAPersonNoLongerInTheList() {
  Run run;
  const int gone = run.addUser("Gone", "Person", "");
  run.open({}, Unregistered());
  QCOMPARE(run.view().Cmb_User->currentText(), "Gone P.");
  Exec(run.folder.databasePath(), QString("DELETE FROM TableUser WHERE UserId=%1").arg(gone));
  QVERIFY(run.ctx.DM->Register().People());
  run.view().tlbRegClick();
  QCOMPARE(run.messages.texts(),
           QStringList{"Data base problem\nImposible find user in data base"});
  QVERIFY(run.view().isVisible());
}

// Two people shown alike: the one chosen is registered. Someone given an
// instrument at another desk since the list was read is not.
void TestViewHist::registrationGoesToThePersonChosen() {
  Run run;
  const int first = run.addUser("Abcd", "Efgh", "Ijkl");
  const int second = run.addUser("Abcd", "Emma", "Ivanovna"); // also "Abcd E.I."
  run.open(KnownHistory(), Unregistered());
  QCOMPARE(run.view().Cmb_User->itemText(0), run.view().Cmb_User->itemText(1));
  run.view().Cmb_User->setCurrentIndex(1);
  run.answerRegistration(true, false, true, 7654321);
  run.view().tlbRegClick();
  QVERIFY(run.messages.shown.empty());
  QCOMPARE(run.deviceOf(second).toInt(), 7654321);
  QCOMPARE(run.deviceOf(first).toInt(), -1);

  run.open(KnownHistory(), Unregistered());
  QCOMPARE(run.view().Cmb_User->count(), 1);
  Exec(run.folder.databasePath(),
       QString("UPDATE TableUser SET DeviceId=31 WHERE UserId=%1").arg(first));
  run.view().tlbRegClick();
  QCOMPARE(run.messages.texts(),
           QStringList{"Data base problem\nImposible find user in data base"});
  QCOMPARE(run.deviceOf(first).toInt(), 31);
}

void TestViewHist::newPersonIsSelected() {
  Run run;
  run.addUser("Abcd", "Efgh", "Ijkl");
  run.addUser("Zed", "Yolanda", "");
  run.open({}, Unregistered());
  QCOMPARE(run.view().Cmb_User->currentIndex(), 0);
  QTimer::singleShot(0, [&run] {
    TFormUser &editor = *run.ctx.FormUser;
    QCOMPARE(editor.Mode, 0);
    editor.EdSecondName->setText("  Newman ");
    editor.EdFirstName->setText("Nina");
    editor.EdMiddleName->setText(" ");
    editor.SB_SaveClick();
  });
  run.view().findChild<QToolButton *>("tlbNewUser")->click();
  QVERIFY(run.messages.shown.empty());
  QCOMPARE(run.view().Cmb_User->currentText(), "Newman N.");
  QCOMPARE(run.view().Cmb_User->count(), 3);
  QVERIFY(run.view().Cmb_User->isVisible());
  const StringGridModel &grid = run.ctx.MainForm->SG_User->cells();
  bool listed = false;
  for (int r = 0; r < grid.RowCount(); ++r)
    listed = listed || grid.Cell(0, r) == "Newman";
  QVERIFY(listed);

  // Cancelled editor: the list stays as it was.
  QTimer::singleShot(0, [&run] { run.ctx.FormUser->SB_CancelClick(); });
  run.view().tlbNewUserClick();
  QCOMPARE(run.view().Cmb_User->currentText(), "Newman N.");
}

void TestViewHist::saveThenLoadRoundTrip() {
  Run run;
  const QString historyFolder = run.folder.file("History");
  QVERIFY(!QDir(historyFolder).exists());
  run.open(KnownHistory(), Unregistered());
  const QStringList lines = run.lines();
  const QString path = historyFolder + "/reading.rtf";
  run.files.names.push_back(path);
  run.view().findChild<QToolButton *>("tlbSave")->click();
  QVERIFY(QDir(historyFolder).exists()); // created on first use
  QVERIFY(ReadAll(path).startsWith("{\\rtf1"));

  // Another program reads every line (its HTML output keeps every character).
  QProcess unrtf;
  unrtf.start("unrtf", {"--html", path});
  QVERIFY(unrtf.waitForFinished(10000));
  QTextDocument html;
  html.setHtml(QString::fromUtf8(unrtf.readAllStandardOutput()));
  const QString converted = html.toPlainText();
  for (const QString &line : lines)
    QVERIFY2(converted.contains(line.trimmed()), qPrintable(line));

  // A cancelled dialog writes nothing.
  QFile::remove(path);
  run.view().tlbSaveClick();
  QVERIFY(!QFile::exists(path));
  run.files.names.push_back(path);
  run.view().tlbSaveClick();

  run.view().RE_History->clear();
  run.files.names.push_back(path);
  run.view().findChild<QToolButton *>("tlbLoad")->click();
  QCOMPARE(run.lines(), lines);
  QVERIFY(run.lineBold(0) && run.lineBold(1) && !run.lineBold(2));

  // A missing file, or a cancelled dialog, changes nothing.
  run.files.names.push_back(historyFolder + "/missing.rtf");
  run.view().tlbLoadClick();
  run.view().tlbLoadClick();
  QCOMPARE(run.lines(), lines);
}

void TestViewHist::loadsAWordProcessorFile() {
  Run run;
  run.open({}, Unregistered());
  run.files.names.push_back(rtfData);
  run.view().tlbLoadClick();
  const QString text = run.view().RE_History->toPlainText();
  for (const char *piece : {"Device № 1234567 (Иванов Пётр Сергеевич)", "Device time 09.12.2026",
                            "Gamma alarm 0.250 Sv/h", "Прибор выключен",
                            "señal, canción, más, ¿Qué?", "Backslash \\ and {braces} and italic"})
    QVERIFY2(text.contains(QString::fromUtf8(piece)), piece);
  QVERIFY(run.lineBold(0));
}

void TestViewHist::damagedFilesLoadAsWhatCanBeRead() {
  Run run;
  run.open(KnownHistory(), Unregistered());
  const QString good = run.folder.file("good.rtf");
  run.files.names.push_back(good);
  run.view().tlbSaveClick();
  const QByteArray saved = ReadAll(good);
  QVERIFY(!saved.isEmpty());

  QByteArray binary;
  for (int i = 0; i < 70000; ++i)
    binary.append(char((i * 7919) & 0xFF));
  const QByteArray deep = "{\\rtf1 " + QByteArray(200000, '{') + "deep";
  QByteArray huge = "{\\rtf1 ";
  for (int i = 0; i < 200000; ++i)
    huge += "line of text\\par ";
  huge += "}";

  struct Case {
    const char *name;
    QByteArray data;
    const char *mustShow;
  };
  const Case cases[] = {
      {"empty", QByteArray(), ""}, {"truncated", saved.left(saved.size() / 2), "Device"},
      {"binary", binary, ""},      {"binary after a header", "{\\rtf1 " + binary, ""},
      {"deeply nested", deep, ""}, {"megabytes long", huge, "line of text"},
  };
  for (const Case &c : cases) {
    const QString path = run.folder.file(QString::fromLatin1(c.name) + ".rtf");
    WriteAll(path, c.data);
    run.files.names.push_back(path);
    run.view().tlbLoadClick(); // nothing may throw
    QVERIFY2(run.view().RE_History->toPlainText().contains(QString::fromUtf8(c.mustShow)), c.name);
  }
  QCOMPARE(run.view().RE_History->document()->blockCount(), 200000);
}

void TestViewHist::printLeavesTheTextAsItWas() {
  Run run;
  run.open(KnownHistory(), Unregistered());
  const QStringList lines = run.lines();
  const QString pdf = run.folder.file("print.pdf");
  bool asked = false;
  run.view().PrinterSetup = [&](QPrinter &printer) {
    asked = true;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    return true;
  };
  run.view().findChild<QToolButton *>("tlbPrint")->click();
  QVERIFY(asked);
  QVERIFY(ReadAll(pdf).startsWith("%PDF"));
  QCOMPARE(run.lines(), lines);
  QVERIFY(run.lineBold(0));

  // The indented copy has the blanks; the window's document does not.
  const auto copy = IndentedCopy(*run.view().RE_History->document(), 16);
  QCOMPARE(copy->firstBlock().text(), QString(16, ' ') + lines[0]);
  QCOMPARE(copy->blockCount(), lines.size());

  QFile::remove(pdf);
  run.view().PrinterSetup = [](QPrinter &) { return false; };
  run.view().tlbPrintClick();
  QVERIFY(!QFile::exists(pdf));
}

namespace {
// Remembers the folder each dialog was opened in.
class FolderDialogs : public QueuedFileDialogs {
public:
  QStringList folders;
  QString openFile(QWidget *w, const QString &t, const QString &folder, const QString &f) override {
    folders << folder;
    return QueuedFileDialogs::openFile(w, t, folder, f);
  }
  QString saveFile(QWidget *w, const QString &t, const QString &folder, const QString &f,
                   const QString &suffix) override {
    folders << folder;
    return QueuedFileDialogs::saveFile(w, t, folder, f, suffix);
  }
};
} // namespace

void TestViewHist::dialogsStartInTheHistoryFolder() {
  Run run;
  FolderDialogs files;
  AppContext ctx{run.state, run.messages, files, run.folder.path()};
  TFormViewHist view(ctx, nullptr);
  const QString history = QDir(run.folder.path()).filePath("History");
  view.tlbLoadClick(); // loading before any save starts there too
  QVERIFY(QDir(history).exists());
  const QString elsewhere = run.folder.file("DB");
  files.names.push_back(elsewhere + "/a.rtf");
  view.tlbSaveClick();
  view.tlbSaveClick();
  view.tlbLoadClick();
  QCOMPARE(files.folders, (QStringList{history, history, elsewhere, history}));
}

void TestViewHist::aFailedSaveIsNotSilent() {
  Run run;
  run.open(KnownHistory(), Unregistered());
  const QString name = run.folder.file("no such folder/a.rtf");
  run.files.names.push_back(name);
  QVERIFY_THROWS_NO_EXCEPTION(run.view().tlbSaveClick());
  QCOMPARE(run.messages.shown.size(), std::size_t(1));
  QVERIFY2(run.messages.shown.front().text.contains(name),
           qPrintable(run.messages.shown.front().text));
  QVERIFY(!QFileInfo::exists(name));
}

void TestViewHist::textsAndHints() {
  Run run;
  QVERIFY(run.state.Texts.loadLanguageFile(run.folder.file("LangR.txt")));
  run.open({}, Unregistered());
  TFormViewHist &v = run.view();
  QCOMPARE(v.windowTitle(), run.state.Texts.at(177));
  QToolButton *load = v.findChild<QToolButton *>("tlbLoad");
  QCOMPARE(load->text(), run.state.Texts.at(191));
  QCOMPARE(load->toolTip(), TextTable::shortHint(run.state.Texts.at(192)));
  QCOMPARE(v.findChild<QToolButton *>("tlbNewUser")->text(), run.state.Texts.at(24));
  QCOMPARE(v.Cmb_User->toolTip(), TextTable::shortHint(run.state.Texts.at(188)));

  // The status bar shows the long part of a hint.
  v.tlbLoad->showStatusText(load);
  QCOMPARE(v.StatusPanel->text(), TextTable::longHint(run.state.Texts.at(192)));
  QVERIFY(v.StatusPanel->text() != load->toolTip());
}

QTEST_MAIN(TestViewHist)
#include "tst_viewhist.moc"
