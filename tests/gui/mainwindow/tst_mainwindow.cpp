// The main window at start: creation order, settings, texts, the user list,
// the settings window at the first activation, and the exception box.
#include "MainWindowRun.h"
#include "common/WholeTitles.h"
#include "dialogs/FormUser.h"
#include "exchanges/FormSetting.h"
#include "main/HistoryList.h"

#include <QAction>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <QtTest>

namespace {

// Closes the settings window with Cancel whenever it shows, for as long as
// the object lives, and counts how often it did.
class SettingsCanceller {
public:
  SettingsCanceller() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == "FormSetting" && w->isVisible()) {
          ++shown;
          static_cast<QDialog *>(w)->reject();
        }
    });
    timer_.start();
  }
  int shown = 0;

private:
  QTimer timer_;
};

} // namespace

class TestMainWindow : public QObject {
  Q_OBJECT
private slots:
  void windowsAreCreatedOnceInOrder();
  void firstStartCreatesSettingsAndShowsSettingsWindow();
  void settingsWindowNotShownWhenRunSetIsOff();
  void textsTitleTheWindowMenusAndGrids();
  void userListIsFilledFromDatabase();
  void untypedEventsArePurgedAtStart();
  void languageFileFromSettingsIsLoaded();
  void closingWritesSettingsBack();
  void exceptionInHandlerIsShownAndProgramGoesOn();
  void windowsAreWideEnoughForTheirTitles();
  void narrowWindowScrollsTheListsSideways();
};

void TestMainWindow::windowsAreCreatedOnceInOrder() {
  Run run;
  run.windows = CreateProgramWindows(run.ctx);
  QVERIFY(run.ctx.MainForm && run.ctx.FormUser && run.ctx.FormDeleteHistory && run.ctx.DM &&
          run.ctx.FormFilter && run.ctx.FormPrintHistory && run.ctx.FormPrintUser &&
          run.ctx.FormRead && run.ctx.FormReg && run.ctx.FormViewHist && run.ctx.FormParams &&
          run.ctx.FormSetting);
  const QStringList names = {"FormUser",      "FormDeleteHistory", "FormFilter", "FormPrintHistory",
                             "FormPrintUser", "FormRead",          "FormReg",    "FormViewHist",
                             "FormParams",    "FormSetting"};
  for (const QString &n : names) {
    QCOMPARE(run.main().findChildren<QDialog *>(n).size(), 1);
    QVERIFY(!run.main().findChild<QDialog *>(n)->isVisible());
  }
  // Creating the windows does not touch the settings or the database.
  QVERIFY(!QFile::exists(run.folder.file("VX4418.ini")));
}

void TestMainWindow::firstStartCreatesSettingsAndShowsSettingsWindow() {
  Run run;
  SettingsCanceller canceller;
  run.start();
  QVERIFY(QTest::qWaitForWindowActive(&run.main()));
  QTRY_COMPARE_WITH_TIMEOUT(canceller.shown, 1, 20000);
  const QString ini = readFile(run.folder.file("VX4418.ini"));
  QVERIFY(ini.contains("[Data Base]"));
  QVERIFY(ini.contains("ADOFile=" + run.folder.databasePath()));
  QVERIFY(ini.contains("LangFile=LangE"));
  QVERIFY(ini.contains("Sock=1"));
  QVERIFY(ini.contains("PortIr=COM3"));
  QVERIFY(ini.contains("RunSet=1"));
  QVERIFY(!ini.contains("Roentgen"));
  QVERIFY(run.main().isMaximized());
  // Only at the first activation: activating the window again opens nothing.
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(&run.main(), &activate);
  QTest::qWait(20);
  QCOMPARE(canceller.shown, 1);
}

void TestMainWindow::settingsWindowNotShownWhenRunSetIsOff() {
  Run run;
  writeFile(run.folder.file("VX4418.ini"), "[Program setting]\nRunSet=0\n");
  run.start();
  QVERIFY(QTest::qWaitForWindowActive(&run.main()));
  QTest::qWait(50);
  QVERIFY(!run.ctx.FormSetting->isVisible());
}

void TestMainWindow::textsTitleTheWindowMenusAndGrids() {
  Run run;
  writeFile(run.folder.file("VX4418.ini"), "[Program setting]\nRunSet=0\n");
  run.start();
  const TextTable &t = run.state.Texts;
  QCOMPARE(run.main().windowTitle(), t.at(0));
  QCOMPARE(run.main().findChild<QMenu *>("UserMenu")->title(), t.at(1));
  QCOMPARE(run.main().findChild<QMenu *>("DeviceMenu")->title(), t.at(74));
  QCOMPARE(run.main().action("AddUser")->text(), t.at(24));
  QCOMPARE(run.main().SG_User->cells().title(3), t.at(149));
  QCOMPARE(run.main().SG_History->cells().title(3), t.at(20));
  QVERIFY(run.main().action("EnglLang")->isChecked());
  // The user-list view's commands.
  QVERIFY(run.main().action("AViewHistory")->isVisible());
  QVERIFY(!run.main().action("ASelectUser")->isVisible());
  QVERIFY(run.main().action("AImport")->isVisible());
  QVERIFY(!run.main().action("AConvertToWord")->isVisible());
}

void TestMainWindow::userListIsFilledFromDatabase() {
  Run run;
  writeFile(run.folder.file("VX4418.ini"), "[Program setting]\nRunSet=0\n");
  QStringList inserts;
  for (int i = 0; i < 45; ++i)
    inserts << QString("INSERT INTO TableUser (UserSecondName, UserFirstName, UserMiddleName, "
                       "DeviceId) VALUES ('Second%1', 'First%1', %2, %3)")
                   .arg(i)
                   .arg(i == 1 ? "NULL" : "'Middle'")
                   .arg(i == 2 ? 105 : -1);
  exec(run.folder.databasePath(), inserts);
  run.start();
  const StringGridModel &g = run.main().SG_User->cells();
  QCOMPARE(g.RowCount(), 61);
  QCOMPARE(g.Cell(0, 1), QString("Second0"));
  QCOMPARE(g.Cell(2, 2), QString());
  QCOMPARE(g.Cell(3, 3), QString("105"));
  QCOMPARE(g.Cell(3, 1), QString());
  QCOMPARE(g.Cell(0, 46), QString());
}

void TestMainWindow::untypedEventsArePurgedAtStart() {
  Run run;
  writeFile(run.folder.file("VX4418.ini"), "[Program setting]\nRunSet=0\n");
  exec(run.folder.databasePath(),
       {"INSERT INTO TableHistory (DeviceId, UserId, DateTimeEvent, EventType) VALUES (1, 1, 1, "
        "NULL)",
        "INSERT INTO TableHistory (DeviceId, UserId, DateTimeEvent, EventType) VALUES (1, 1, 1, "
        "5)"});
  run.start();
  const QString name = "test-reader";
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
    db.setDatabaseName(run.folder.databasePath());
    QVERIFY(db.open());
    QSqlQuery q("SELECT COUNT(*), SUM(EventType IS NULL) FROM TableHistory", db);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 1);
    QCOMPARE(q.value(1).toInt(), 0);
  }
  QSqlDatabase::removeDatabase(name);
}

void TestMainWindow::languageFileFromSettingsIsLoaded() {
  Run run;
  writeFile(run.folder.file("VX4418.ini"),
            "[Lang]\nLangFile=LangES.txt\n[Program setting]\nRunSet=0\n");
  run.start();
  QVERIFY(run.main().action("SpanishLang")->isChecked());
  QVERIFY(run.main().windowTitle() != TextTable::defaultText(0) ||
          TextTable::defaultText(0).isEmpty());
  // Switching to English at run time reaches the window at once.
  run.main().action("EnglLang")->trigger();
  QCOMPARE(run.main().windowTitle(), TextTable::defaultText(0));
  QCOMPARE(run.state.Paths.LangFile, QString("LangE.txt"));
}

void TestMainWindow::closingWritesSettingsBack() {
  Run run;
  writeFile(run.folder.file("VX4418.ini"), "; kept\n[Program setting]\nRunSet=0\n");
  run.start();
  run.state.ProgSetting.Roentgen = true;
  run.main().action("ExitApp")->trigger();
  const QString ini = readFile(run.folder.file("VX4418.ini"));
  QVERIFY(ini.contains("Roentgen=1"));
  QVERIFY(ini.contains("; kept"));
  QVERIFY(ini.contains("ADOFile="));
}

namespace {
class Thrower : public QObject {
public:
  bool event(QEvent *e) override {
    if (e->type() == QEvent::User)
      throw std::runtime_error("boom");
    return QObject::event(e);
  }
};
} // namespace

void TestMainWindow::exceptionInHandlerIsShownAndProgramGoesOn() {
  auto *app = qobject_cast<VxApplication *>(QCoreApplication::instance());
  QVERIFY(app);
  QStringList shown;
  auto saved = app->showException;
  app->showException = [&shown](const QString &m) { shown << m; };
  Thrower t;
  QCoreApplication::postEvent(&t, new QEvent(QEvent::User));
  QCoreApplication::processEvents();
  QCOMPARE(shown, QStringList{"boom"});
  // The loop still runs.
  bool ran = false;
  QTimer::singleShot(0, [&ran] { ran = true; });
  QTRY_VERIFY(ran);
  app->showException = saved;
}

QObject *makeTestMainLists();
QObject *makeTestMainCommands();
QObject *makeTestMainExport();

int main(int argc, char **argv) {
  VxApplication app(argc, argv);
  int failed = 0;
  std::unique_ptr<QObject> tests[] = {std::make_unique<TestMainWindow>(),
                                      std::unique_ptr<QObject>(makeTestMainLists()),
                                      std::unique_ptr<QObject>(makeTestMainCommands()),
                                      std::unique_ptr<QObject>(makeTestMainExport())};
  for (auto &t : tests)
    failed += QTest::qExec(t.get(), argc, argv);
  return failed;
}

// The title of every window fits its frame, whatever its length: the user
// editor's Russian title, and a long title set on each window of the program.
void TestMainWindow::windowsAreWideEnoughForTheirTitles() {
  Run run;
  run.quietSettings();
  run.start();
  run.main().RussianLangClick();
  TFormUser &editor = *run.ctx.FormUser;
  editor.Mode = 1;
  int seen = 0;
  whenShown(
      "FormUser",
      [&](QDialog *d) {
        QVERIFY2(d->width() >= WholeTitles::TitleWidth(d),
                 qPrintable(QString("%1 < %2").arg(d->width()).arg(WholeTitles::TitleWidth(d))));
      },
      &seen);
  run.main().action("AddUser")->trigger();
  QCOMPARE(seen, 1);
  const QString longTitle =
      QString::fromUtf8("Добавление пользователя в реестр выданных дозиметров");
  for (QDialog *d : run.main().findChildren<QDialog *>(Qt::FindDirectChildrenOnly)) {
    d->setWindowTitle(longTitle);
    if (d->layout())
      d->layout()->activate();
    QVERIFY2(d->width() >= WholeTitles::TitleWidth(d), qPrintable(d->objectName()));
  }
}

// The main window keeps a minimum size; in a narrow one the lists keep the
// widths their dates and numbers need and scroll sideways.
void TestMainWindow::narrowWindowScrollsTheListsSideways() {
  Run run;
  run.quietSettings();
  QStringList inserts{
      insertUser("'Abcdefghijklmnopqrstuvwxyz'", "'Abcdefghijklmnop'", "'Q'", "4418123")};
  for (int i = 0; i < 5; ++i)
    inserts << insertEvent(1, QString::number(45000.4 + i), "7", "0.0012345", "0.0234567");
  exec(run.db(), inserts);
  run.start();
  TMainForm &m = run.main();
  QVERIFY(m.minimumWidth() >= 400 && m.minimumHeight() >= 300);
  m.resize(m.minimumSize());
  QVERIFY(QTest::qWaitForWindowExposed(&m));
  run.viewHistoryOf(1);
  StringGrid *h = m.SG_History;
  for (int c = 0; c < HistoryGridModel::Columns; ++c) {
    const QString text = run.history().Cell(c, 1);
    const int textWidth = h->fontMetrics().horizontalAdvance(text);
    QVERIFY2(h->columnWidth(c) >= textWidth, qPrintable(QString("column %1: %2 < %3 for %4")
                                                            .arg(c)
                                                            .arg(h->columnWidth(c))
                                                            .arg(textWidth)
                                                            .arg(text)));
  }
  int total = 0;
  for (int c = 0; c < HistoryGridModel::Columns; ++c)
    total += h->columnWidth(c);
  if (total > h->viewport()->width())
    QVERIFY(h->horizontalScrollBar()->maximum() > 0);
}

#include "tst_mainwindow.moc"
