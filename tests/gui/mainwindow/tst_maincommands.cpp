// The main window's commands in both views: what each sets before it shows
// another window, and what it does after OK or Cancel.
#include "MainWindowRun.h"
#include "dialogs/FormDeleteHistory.h"
#include "dialogs/FormFilter.h"
#include "dialogs/FormUser.h"
#include "exchanges/FormSetting.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QToolBar>
#include <QToolButton>

namespace {

// Two people; the first with three events (codes 1, 5, 1 on three days), the
// second holding instrument 7.
void twoPeople(Run &run) {
  run.quietSettings();
  exec(run.db(),
       {insertUser("'Abcd'", "'Efgh'", "'Ijkl'"), insertUser("'Mnop'", "'Qrst'", "''", "7"),
        insertEvent(1, "45000.25", "1", "0.001"), insertEvent(1, "45001.25", "5"),
        insertEvent(1, "45002.25", "1", "0.002"), insertEvent(2, "45000", "6")});
  run.start();
}

const char *const kUserViewActions[] = {"AViewHistory", "AddUser",       "AEditUser", "ADeleteUser",
                                        "APrintUser",   "ARegistration", "ACancelReg"};
const char *const kHistoryViewActions[] = {"ASelectUser", "ADeleteHistory", "ARestoreHistory",
                                           "APrintHistory"};
const char *const kBothViewActions[] = {"AFilterHistory",  "ACancelFilter",    "AReadHistory",
                                        "ADevice",         "AClearHistory",    "AClearDE",
                                        "ASelectAll",      "ACopyToClipboard", "ASaveToAscii",
                                        "AProgramSetting", "ExitApp"};

// The delete window with the two name labels the command fills in.
TFormDeleteHistory &DeleteForm(Run &run) {
  TFormDeleteHistory &form = *run.ctx.FormDeleteHistory;
  if (!form.L_SecFirstName)
    form.L_SecFirstName = new QLabel(&form);
  if (!form.LMiddleName)
    form.LMiddleName = new QLabel(&form);
  return form;
}

} // namespace

class TestMainCommands : public QObject {
  Q_OBJECT
private slots:
  void viewsShowTheirCommands();
  void textsReachEveryAction();
  void languageChangeRefillsTheHistory();
  void missingLanguageFileChangesNothing();
  void statusPanelShowsLongHints();
  void addUser();
  void editUser();
  void deleteUserHoldingAnInstrumentIsRefused();
  void deleteUserAsksAndDeletes();
  void enterPressesTheFocusedButton();
  void deletingTheLastRowMakesThePersonAboveCurrent();
  void commandsActOnThePersonShownWhateverAnotherDeskDid();
  void deleteHistory();
  void deletedHistoryIsRestored();
  void filterFromTheHistoryView();
  void filterFromTheUserList();
  void cancelFilterReloadsTheFullHistory();
  void unitChangeRefillsAndKeepsPosition();
  void unitChangeOnUserListRefillsNothing();
};

void TestMainCommands::viewsShowTheirCommands() {
  Run run;
  twoPeople(run);
  TMainForm &m = run.main();
  auto check = [&](bool userView) {
    for (const char *n : kUserViewActions)
      QCOMPARE(m.action(n)->isVisible(), userView);
    for (const char *n : kHistoryViewActions)
      QCOMPARE(m.action(n)->isVisible(), !userView);
    for (const char *n : kBothViewActions)
      QVERIFY(m.action(n)->isVisible());
    QVERIFY(m.action("AImport")->isVisible()); // on the Utilities menu in both views
    QVERIFY(!m.action("AConvertToWord")->isVisible());
    for (const char *b : {"tlb_DeleteAll", "tlb_DeleteHistory", "ToolButton7"})
      QVERIFY(!m.findChild<QAction *>(QString(b) + "Holder")->isVisible());
    // Every button on show has a picture, and the two with hints of their
    // own keep them.
    for (QToolButton *b : m.findChild<QToolBar *>("ToolBar1")->findChildren<QToolButton *>()) {
      const QAction *holder = m.findChild<QAction *>(b->objectName() + "Holder");
      if (holder && holder->isVisible())
        QVERIFY2(!b->icon().pixmap(22).isNull(), qPrintable(b->objectName()));
    }
    QCOMPARE(m.findChild<QToolButton *>("tlbDevice")->toolTip(), run.state.Texts.at(72));
    QCOMPARE(m.findChild<QToolButton *>("tlb_CancelRegistration")->toolTip(),
             run.state.Texts.at(62));
  };
  check(true);
  QVERIFY(m.action("ASelectAll")->toolTip().isEmpty() ||
          m.action("ASelectAll")->toolTip() == m.action("ASelectAll")->text());
  run.viewHistoryOf(1);
  check(false);
  QCOMPARE(m.action("ASelectAll")->statusTip(), TextTable::longHint(run.state.Texts.at(89)));
  m.action("ASelectUser")->trigger();
  check(true);
  QCOMPARE(m.action("ASelectAll")->statusTip(), TextTable::longHint(run.state.Texts.at(88)));
  QCOMPARE(m.StatusPanel[1]->text(), QString());
}

void TestMainCommands::textsReachEveryAction() {
  Run run;
  writeFile(run.folder.file("VX4418.ini"),
            "[Lang]\nLangFile=LangR.txt\n[Program setting]\nRunSet=0\n");
  run.start();
  const TextTable &t = run.state.Texts;
  QVERIFY(t.at(24) != TextTable::defaultText(24));
  const struct {
    const char *name;
    int caption, hint;
  } actions[] = {
      {"ExitApp", 9, 10},          {"AViewHistory", 11, 12},   {"AddUser", 24, 25},
      {"ASelectUser", 26, 27},     {"AEditUser", 46, 47},      {"ADeleteHistory", 48, 49},
      {"ADeleteUser", 50, 51},     {"AFilterHistory", 53, 54}, {"APrintUser", 56, 57},
      {"APrintHistory", 58, 59},   {"ACancelReg", 62, 63},     {"AReadHistory", 60, 61},
      {"ARegistration", 65, 66},   {"ACancelFilter", 70, 71},  {"ADevice", 72, 73},
      {"AProgramSetting", 77, 78}, {"AClearHistory", 79, 80},  {"AClearDE", 82, 83},
      {"ASaveToAscii", 85, 86},    {"ASelectAll", 87, -1},     {"ACopyToClipboard", 90, 91},
      {"AImport", 93, 94},         {"RussianLang", 4, -1},     {"EnglLang", 5, -1},
      {"SpanishLang", 6, -1}};
  for (const auto &a : actions) {
    QCOMPARE(run.main().action(a.name)->text(), t.at(a.caption));
    if (a.hint >= 0) {
      QCOMPARE(run.main().action(a.name)->toolTip(), TextTable::shortHint(t.at(a.hint)));
      QCOMPARE(run.main().action(a.name)->statusTip(), TextTable::longHint(t.at(a.hint)));
    }
  }
  const struct {
    const char *name;
    int entry;
  } menus[] = {{"UserMenu", 1}, {"HistoryMenu", 2}, {"Lang", 3},
               {"Settings", 7}, {"DeviceMenu", 74}, {"NUtils", 92}};
  for (const auto &m : menus)
    QCOMPARE(run.main().findChild<QMenu *>(m.name)->title(), t.at(m.entry));
  QCOMPARE(run.main().OD_ExternalDataBaseTitle, t.at(95));
  QCOMPARE(run.main().OD_ExternalDataBaseFilter, t.at(96));
  const int userTitles[] = {146, 147, 148, 149};
  const int historyTitles[] = {151, 152, 153, 20, 149};
  for (int c = 0; c < 4; ++c)
    QCOMPARE(run.users().headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
             t.at(userTitles[c]));
  for (int c = 0; c < 5; ++c)
    QCOMPARE(run.history().title(c), t.at(historyTitles[c]));
  QVERIFY(run.main().action("RussianLang")->isChecked());
}

void TestMainCommands::languageChangeRefillsTheHistory() {
  Run run;
  twoPeople(run);
  run.viewHistoryOf(1);
  QCOMPARE(run.history().Cell(1, 1), TextTable::defaultText(13));
  run.main().action("RussianLang")->trigger();
  QVERIFY(run.state.Texts.at(13) != TextTable::defaultText(13));
  QCOMPARE(run.history().Cell(1, 1), run.state.Texts.at(13));
  QCOMPARE(run.main().windowTitle(), run.state.Texts.at(0));
  QCOMPARE(run.state.Paths.LangFile, QString("LangR.txt"));
  QVERIFY(!run.main().SG_History->isHidden());
}

void TestMainCommands::missingLanguageFileChangesNothing() {
  Run run;
  twoPeople(run);
  QFile::remove(run.folder.file("LangES.txt"));
  const QString title = run.main().windowTitle();
  run.main().action("SpanishLang")->trigger();
  QVERIFY(run.main().action("SpanishLang")->isChecked());
  QCOMPARE(run.main().windowTitle(), title);
  QCOMPARE(run.state.Paths.LangFile, QString("LangE"));
}

void TestMainCommands::statusPanelShowsLongHints() {
  Run run;
  twoPeople(run);
  QToolButton *b = run.main().findChild<QToolButton *>("tlbNewUser");
  run.main().action("AddUser")->showStatusText(b);
  QCOMPARE(run.main().StatusPanel[0]->text(), TextTable::longHint(run.state.Texts.at(25)));
  QCOMPARE(b->toolTip(), TextTable::shortHint(run.state.Texts.at(25)));
}

void TestMainCommands::addUser() {
  Run run;
  twoPeople(run);
  writeFile(run.folder.file("AddUser.ico"), QByteArray());
  TFormUser &editor = *run.ctx.FormUser;
  editor.Mode = 1;
  // OK: the list is read again and shows the person the editor added.
  int seen = 0;
  whenShown(
      "FormUser",
      [&](QDialog *d) {
        QCOMPARE(editor.Mode, 0);
        exec(run.db(), {insertUser("'New'", "'One'", "NULL")});
        d->accept();
      },
      &seen);
  run.main().action("AddUser")->trigger();
  QCOMPARE(seen, 1);
  QCOMPARE(run.users().Cell(0, 3), QString("New"));
  // Cancel: no refill.
  exec(run.db(), {insertUser("'Other'", "'One'", "NULL")});
  rejectWhenShown("FormUser", &seen);
  run.main().action("AddUser")->trigger();
  QCOMPARE(seen, 2);
  QCOMPARE(run.users().Cell(0, 4), QString());
  // Not from the history view.
  run.viewHistoryOf(1);
  run.main().AddUserExecute();
  QTest::qWait(10);
  QCOMPARE(seen, 2);
}

void TestMainCommands::editUser() {
  Run run;
  twoPeople(run);
  TFormUser &editor = *run.ctx.FormUser;
  int seen = 0;
  whenShown(
      "FormUser",
      [&](QDialog *d) {
        QCOMPARE(editor.Mode, 1);
        QCOMPARE(editor.EditedUserKey, 2);
        QCOMPARE(editor.StoredSecondName, QString("Mnop"));
        QCOMPARE(editor.StoredFirstName, QString("Qrst"));
        QCOMPARE(editor.StoredMiddleName, QString());
        exec(run.db(), {"UPDATE TableUser SET UserSecondName = 'Changed' WHERE UserId = 2"});
        d->accept();
      },
      &seen);
  run.main().SG_User->SelectRow(2);
  run.main().action("AEditUser")->trigger();
  QCOMPARE(seen, 1);
  QCOMPARE(run.users().Cell(0, 2), QString("Changed"));
  QCOMPARE(run.main().SG_User->SelectedRow(), 2);
  // An empty row opens nothing.
  rejectWhenShown("FormUser", &seen);
  run.main().SG_User->SelectRow(5);
  run.main().action("AEditUser")->trigger();
  QTest::qWait(20);
  QCOMPARE(seen, 1);
  // Nor does the history view.
  run.viewHistoryOf(1);
  run.main().AEditUserExecute();
  QTest::qWait(20);
  QCOMPARE(seen, 1);
}

void TestMainCommands::deleteUserHoldingAnInstrumentIsRefused() {
  Run run;
  twoPeople(run);
  run.main().SG_User->SelectRow(2);
  run.main().action("ADeleteUser")->trigger();
  const TextTable &t = run.state.Texts;
  QCOMPARE(run.messages.shown.size(), size_t(1));
  QCOMPARE(run.messages.shown[0].kind, OperatorMessages::Notice);
  QCOMPARE(run.messages.shown[0].text, t.at(75) + "\n" + t.at(76));
  QCOMPARE(scalar(run.db(), "SELECT COUNT(*) FROM TableUser"), 2);
}

void TestMainCommands::deleteUserAsksAndDeletes() {
  Run run;
  twoPeople(run);
  exec(run.db(), {"UPDATE TableUser SET DeviceId = -1"});
  run.main().SG_User->SelectRow(1);
  run.messages.answers = {false};
  // The Delete key in the list asks the same question, No being its default.
  run.main().activateWindow();
  run.main().SG_User->setFocus();
  QVERIFY(QTest::qWaitForWindowActive(&run.main()));
  QTest::keyClick(run.main().SG_User, Qt::Key_Delete);
  QCOMPARE(run.messages.texts(), QStringList{run.state.Texts.at(52)});
  QVERIFY(run.messages.shown.front().destructive);
  QCOMPARE(scalar(run.db(), "SELECT COUNT(*) FROM TableUser"), 2);
  // Yes: the person and the history go; the row below moves up, and nobody is current.
  run.main().action("ADeleteUser")->trigger();
  QCOMPARE(scalar(run.db(), "SELECT COUNT(*) FROM TableUser"), 1);
  QCOMPARE(scalar(run.db(), "SELECT COUNT(*) FROM TableHistory WHERE UserId = 1"), 0);
  QCOMPARE(run.users().Cell(0, 1), QString("Mnop"));
  QCOMPARE(run.state.User.CurrentUserKey, -1);
  QVERIFY(run.state.User.SecondName.isEmpty());
  // The only person left.
  run.main().action("ADeleteUser")->trigger();
  QCOMPARE(scalar(run.db(), "SELECT COUNT(*) FROM TableUser"), 0);
  QCOMPARE(run.users().RowCount(), 21);
  QCOMPARE(run.state.User.CurrentUserKey, -1);
  // An empty row: nothing is asked.
  run.main().action("ADeleteUser")->trigger();
  QCOMPARE(run.messages.shown.size(), size_t(3));
  // The deleted person's events are kept.
  QCOMPARE(scalar(run.db(), "SELECT COUNT(*) FROM TableDeletedHistory WHERE UserId = 1"), 3);
}

// The editor's buttons do not answer Enter themselves, so that Enter typed
// into a name saves nothing; Enter on a button the operator tabbed to
// presses it.
void TestMainCommands::enterPressesTheFocusedButton() {
  Run run;
  twoPeople(run);
  TFormUser &editor = *run.ctx.FormUser;
  editor.Mode = 1;
  int seen = 0;
  whenShown(
      "FormUser",
      [&](QDialog *d) {
        QTest::keyClicks(editor.EdSecondName, "Zed");
        QTest::keyClicks(editor.EdFirstName, "Ann");
        QTest::keyClick(editor.EdFirstName, Qt::Key_Return);
        QVERIFY(d->isVisible());
        editor.SB_Cancel->setFocus();
        QTest::keyClick(editor.SB_Cancel, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(!d->isVisible());
      },
      &seen);
  run.main().action("AddUser")->trigger();
  QCOMPARE(seen, 1);
  QCOMPARE(scalar(run.db(), "SELECT COUNT(*) FROM TableUser"), 2);
  editor.Mode = 1;
  whenShown(
      "FormUser",
      [&](QDialog *) {
        QTest::keyClicks(editor.EdSecondName, "Zed");
        QTest::keyClicks(editor.EdFirstName, "Ann");
        editor.SB_Save->setFocus();
        QTest::keyClick(editor.SB_Save, Qt::Key_Return);
      },
      &seen);
  run.main().action("AddUser")->trigger();
  QCOMPARE(seen, 2);
  QCOMPARE(scalar(run.db(), "SELECT COUNT(*) FROM TableUser WHERE UserSecondName = 'Zed'"), 1);
}

// Another desk changes the register after this desk's list was read: every
// command looks its person up again and never acts on someone else.
void TestMainCommands::commandsActOnThePersonShownWhateverAnotherDeskDid() {
  Run run;
  twoPeople(run);
  exec(run.db(), {"UPDATE TableUser SET DeviceId = -1"});
  run.main().action("ASelectUser")->trigger(); // the list as read now: Abcd (1), Mnop (2)
  // Abcd is deleted elsewhere and someone new takes her place in the order.
  exec(run.db(),
       {"DELETE FROM TableHistory WHERE UserId = 1", "DELETE FROM TableUser WHERE UserId = 1",
        insertUser("'Zed'", "'Yolanda'", "''")});
  run.main().SG_User->SelectRow(1); // still shows Abcd
  run.main().action("ADeleteUser")->trigger();
  QCOMPARE(run.messages.texts(), QStringList{run.state.Texts.at(67)});
  QCOMPARE(scalar(run.db(), "SELECT COUNT(*) FROM TableUser"), 2);
  QCOMPARE(run.users().Cell(0, 1), QString("Mnop")); // the list shows the register now
  // Editing someone who is gone is refused the same way.
  exec(run.db(), {"DELETE FROM TableUser WHERE UserSecondName = 'Mnop'"});
  run.messages.shown.clear();
  int edited = 0;
  rejectWhenShown("FormUser", &edited);
  run.main().SG_User->SelectRow(1);
  run.main().action("AEditUser")->trigger();
  QCOMPARE(edited, 0);
  QCOMPARE(run.messages.texts(), QStringList{run.state.Texts.at(67)});
  QCOMPARE(run.users().Cell(0, 1), QString("Zed"));
  // Given an instrument elsewhere: deleting her is refused as for a holder,
  // and the list shows her instrument.
  exec(run.db(), {"UPDATE TableUser SET DeviceId = 31 WHERE UserSecondName = 'Zed'"});
  run.messages.shown.clear();
  run.main().SG_User->SelectRow(1);
  run.main().action("ADeleteUser")->trigger();
  const TextTable &t = run.state.Texts;
  QCOMPARE(run.messages.texts(), QStringList{t.at(75) + '\n' + t.at(76)});
  QCOMPARE(scalar(run.db(), "SELECT COUNT(*) FROM TableUser"), 1);
  QCOMPARE(run.users().Cell(3, 1), QString("31"));
}

void TestMainCommands::deletingTheLastRowMakesThePersonAboveCurrent() {
  Run run;
  run.quietSettings();
  QStringList inserts;
  for (int i = 1; i <= 21; ++i)
    inserts << insertUser(QString("'S%1'").arg(i), "'F'", "'M'");
  exec(run.db(), inserts);
  run.start();
  QCOMPARE(run.users().RowCount(), 41);
  run.main().SG_User->SelectRow(21);
  run.main().action("ADeleteUser")->trigger();
  QCOMPARE(run.users().RowCount(), 21);
  QCOMPARE(run.main().SG_User->SelectedRow(), 20);
  QCOMPARE(run.state.User.CurrentUserKey, 20);
  QCOMPARE(run.state.User.SecondName, QString("S20"));
  QCOMPARE(run.state.User.MiddleName, QString("M"));
}

void TestMainCommands::deleteHistory() {
  Run run;
  twoPeople(run);
  TFormDeleteHistory &form = DeleteForm(run);
  run.viewHistoryOf(1);
  QVERIFY(run.history().RowFilled(3));
  // Cancel: the list stays as it was, whatever the database holds now.
  int seen = 0;
  whenShown(
      "FormDeleteHistory",
      [&](QDialog *d) {
        QCOMPARE(form.UserKey, 1);
        QCOMPARE(form.L_SecFirstName->text(), QString("Abcd Efgh"));
        QCOMPARE(form.LMiddleName->text(), QString("Ijkl"));
        exec(run.db(), {"DELETE FROM TableHistory WHERE UserId = 1 AND EventType = 5"});
        d->reject();
      },
      &seen);
  run.main().action("ADeleteHistory")->trigger();
  QCOMPARE(seen, 1);
  QVERIFY(run.history().RowFilled(3));
  // OK: the history is read again.
  acceptWhenShown("FormDeleteHistory", &seen);
  run.main().action("ADeleteHistory")->trigger();
  QCOMPARE(seen, 2);
  QVERIFY(run.history().RowFilled(2));
  QVERIFY(!run.history().RowFilled(3));
  QCOMPARE(run.history().RowCount(), 41);
}

// The delete window asks, naming the person and the number of events; the
// History menu brings them back.
void TestMainCommands::deletedHistoryIsRestored() {
  Run run;
  twoPeople(run);
  TFormDeleteHistory &form = DeleteForm(run);
  run.viewHistoryOf(1);
  const QString name = "Abcd Efgh Ijkl";
  int seen = 0;
  run.messages.answers = {false, true};
  const auto pressDelete = [&](QDialog *d) {
    form.SB_Delete->click();
    if (d->isVisible()) // No: the window stays open
      d->reject();
  };
  whenShown("FormDeleteHistory", pressDelete, &seen);
  run.main().action("ADeleteHistory")->trigger();
  const QString asked = run.state.Texts.text(ProgramText::DeleteHistoryQuestion).arg(3).arg(name);
  QCOMPARE(run.messages.texts(), QStringList{asked});
  QVERIFY(run.messages.shown.back().destructive);
  QCOMPARE(scalar(run.db(), "SELECT COUNT(*) FROM TableHistory WHERE UserId = 1"), 3);
  // Yes: the events go and the list is read again.
  whenShown("FormDeleteHistory", pressDelete, &seen);
  run.main().action("ADeleteHistory")->trigger();
  QCOMPARE(scalar(run.db(), "SELECT COUNT(*) FROM TableHistory WHERE UserId = 1"), 0);
  QVERIFY(!run.history().RowFilled(1));

  run.messages.shown.clear();
  run.main().action("ARestoreHistory")->trigger();
  QCOMPARE(run.messages.texts(),
           QStringList{run.state.Texts.text(ProgramText::RestoreHistoryQuestion).arg(3).arg(name)});
  QCOMPARE(scalar(run.db(), "SELECT COUNT(*) FROM TableHistory WHERE UserId = 1"), 3);
  QVERIFY(run.history().RowFilled(3));
  run.messages.shown.clear();
  run.main().action("ARestoreHistory")->trigger();
  QCOMPARE(run.messages.texts(),
           QStringList{run.state.Texts.text(ProgramText::NothingToRestore).arg(name)});
}

void TestMainCommands::filterFromTheHistoryView() {
  Run run;
  twoPeople(run);
  run.viewHistoryOf(1);
  int seen = 0;
  whenShown(
      "FormFilter",
      [&](QDialog *d) {
        run.ctx.FormFilter->Criteria = HistoryCriteria{std::nullopt, std::nullopt, {1}};
        d->accept();
      },
      &seen);
  run.main().action("AFilterHistory")->trigger();
  QCOMPARE(seen, 1);
  QVERIFY((run.state.Filter == HistoryCriteria{std::nullopt, std::nullopt, {1}}));
  QVERIFY(run.history().RowFilled(2));
  QVERIFY(!run.history().RowFilled(3));
  QCOMPARE(run.main().SG_History->SelectedRow(), 1);
  QCOMPARE(run.main().StatusPanel[2]->text(), run.state.Texts.at(55));
  // Cancel in the filter window changes nothing.
  whenShown(
      "FormFilter",
      [&](QDialog *d) {
        run.ctx.FormFilter->Criteria = {};
        d->reject();
      },
      &seen);
  run.main().action("AFilterHistory")->trigger();
  QCOMPARE(seen, 2);
  QVERIFY((run.state.Filter == HistoryCriteria{std::nullopt, std::nullopt, {1}}));
  // An empty fragment after OK empties the panel.
  whenShown(
      "FormFilter", [&](QDialog *d) { d->accept(); }, &seen);
  run.main().action("AFilterHistory")->trigger();
  QCOMPARE(run.main().StatusPanel[2]->text(), QString());
  QVERIFY(run.history().RowFilled(3));
}

void TestMainCommands::filterFromTheUserList() {
  Run run;
  twoPeople(run);
  // With an empty row selected: the fragment and the panel change, no history shows.
  run.main().SG_User->SelectRow(4);
  whenShown("FormFilter", [&](QDialog *d) {
    run.ctx.FormFilter->Criteria = HistoryCriteria{std::nullopt, std::nullopt, {5}};
    d->accept();
  });
  run.main().action("AFilterHistory")->trigger();
  QVERIFY((run.state.Filter == HistoryCriteria{std::nullopt, std::nullopt, {5}}));
  QCOMPARE(run.main().StatusPanel[2]->text(), run.state.Texts.at(55));
  QVERIFY(run.main().SG_History->isHidden());
  // With a person selected the filtered history opens.
  run.main().SG_User->SelectRow(1);
  acceptWhenShown("FormFilter");
  run.main().action("AFilterHistory")->trigger();
  QVERIFY(!run.main().SG_History->isHidden());
  QCOMPARE(run.history().Cell(1, 1), run.state.Texts.at(21));
  QVERIFY(!run.history().RowFilled(2));
  QCOMPARE(run.main().StatusPanel[1]->text(), QString("Abcd E.I."));
}

void TestMainCommands::cancelFilterReloadsTheFullHistory() {
  Run run;
  twoPeople(run);
  TFormFilter &form = *run.ctx.FormFilter;
  if (!form.CB_CancelFilter)
    form.CB_CancelFilter = new QCheckBox(&form);
  form.CB_CancelFilter->setChecked(false);
  run.viewHistoryOf(1);
  // A date filter over the middle day only.
  whenShown("FormFilter", [&](QDialog *d) {
    form.Criteria.Interval = FilterInterval{QDateTime(QDate(2023, 3, 16), QTime(0, 0)),
                                            QDateTime(QDate(2023, 3, 16), QTime(23, 0))};
    d->accept();
  });
  run.main().action("AFilterHistory")->trigger();
  QCOMPARE(run.history().Cell(1, 1), run.state.Texts.at(21));
  QVERIFY(!run.history().RowFilled(2));

  run.main().action("ACancelFilter")->trigger();
  QVERIFY(form.CB_CancelFilter->isChecked());
  QVERIFY(form.Criteria.IsEmpty());
  QVERIFY(run.state.Filter.IsEmpty());
  QVERIFY(run.history().RowFilled(3));
  QCOMPARE(run.main().StatusPanel[2]->text(), QString());
  // From the user list it only forgets the filter.
  run.main().action("ASelectUser")->trigger();
  run.state.Filter = HistoryCriteria{std::nullopt, std::nullopt, {5}};
  run.main().action("ACancelFilter")->trigger();
  QVERIFY(run.state.Filter.IsEmpty());
  QVERIFY(run.main().SG_History->isHidden());
}

void TestMainCommands::unitChangeRefillsAndKeepsPosition() {
  Run run;
  run.quietSettings();
  QStringList inserts{insertUser("'A'", "'B'", "'C'")};
  for (int i = 0; i < 85; ++i)
    inserts << insertEvent(1, QString::number(45000 + i), "8", "NULL", "0.001");
  exec(run.db(), inserts);
  run.start();
  run.viewHistoryOf(1);
  StringGrid *h = run.main().SG_History;
  const QString sievert = run.history().Cell(3, 10);
  h->SetTopRow(5);
  h->SelectRow(10);
  const int top = h->TopRow();
  QVERIFY(top > 1);
  whenShown("FormSetting", [&](QDialog *d) {
    run.ctx.FormSetting->RB_ShowRh->setChecked(true);
    d->accept();
  });
  run.main().action("AProgramSetting")->trigger();
  QVERIFY(run.state.ProgSetting.Roentgen);
  QVERIFY(run.history().Cell(3, 10) != sievert);
  QCOMPARE(h->SelectedRow(), 10);
  QCOMPARE(h->TopRow(), top);
}

void TestMainCommands::unitChangeOnUserListRefillsNothing() {
  Run run;
  twoPeople(run);
  run.viewHistoryOf(1);
  const QString before = run.history().Cell(2, 1);
  run.main().action("ASelectUser")->trigger();
  whenShown("FormSetting", [&](QDialog *d) {
    run.ctx.FormSetting->RB_ShowRh->setChecked(true);
    d->accept();
  });
  run.main().action("AProgramSetting")->trigger();
  QVERIFY(run.state.ProgSetting.Roentgen);
  QCOMPARE(run.history().Cell(2, 1), before);
  // Cancel in the settings window keeps the unit.
  rejectWhenShown("FormSetting");
  run.main().action("AProgramSetting")->trigger();
  QVERIFY(run.state.ProgSetting.Roentgen);
}

QObject *makeTestMainCommands() {
  return new TestMainCommands;
}

#include "tst_maincommands.moc"
