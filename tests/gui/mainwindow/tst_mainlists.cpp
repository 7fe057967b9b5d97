// The user list and the history list: rows, cells, selection, layout, double
// clicks, select all, and what happens when the database goes away.
#include "MainWindowRun.h"
#include "common/AppContext.h"
#include "db/TDM.h"
#include "dialogs/FormPrintHistory.h"
#include "history/DoseFormat.h"
#include "main/HistoryList.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPdfWriter>
#include <QProcess>
#include <QStyle>
#include <QTemporaryDir>

class TestMainLists : public QObject {
  Q_OBJECT
private slots:
  void userListGrowsInStepsOf20();
  void namesAreShownAsStored();
  void historyListGrowsInStepsOf40AndSelectsLastEvent();
  void historyWithoutEvents();
  void historyCells_data();
  void historyCells();
  void badHistoryRowsAreSkippedWithoutGaps();
  void historyReadsInTimeOrderAndSortsByAClickedTitle();
  void lastEventSitsAtTheBottomAndEmptyRowsCannotBeSelected();
  void historyModelStepsOverEveryEventWalked();
  void printHistoryTakesTheRowsOfTheList();
  void doseValuesFollowTheUnitSetting();
  void columnWidthsFollowTheLayoutRules();
  void doubleClicksSwitchLists();
  void selectAllTakesFilledRowsAndOwnsCtrlA();
  void listsKeepTheirRowsWhenDatabaseGoes();
};

void TestMainLists::userListGrowsInStepsOf20() {
  for (int people : {0, 20, 21, 45}) {
    Run run;
    run.quietSettings();
    QStringList inserts;
    for (int i = 0; i < people; ++i)
      inserts << insertUser(QString("'S%1'").arg(i), "'F'", i == 1 ? "NULL" : "'M'",
                            i == 2 ? "105" : (i == 3 ? "0" : "-1"));
    exec(run.db(), inserts);
    run.start();
    const StringGridModel &g = run.users();
    QCOMPARE(g.RowCount(), 1 + std::max(20, (people + 19) / 20 * 20));
    QCOMPARE(g.RowFilled(people + 1), false);
    if (people == 45) {
      QCOMPARE(g.RowCount(), 61);
      QCOMPARE(g.Cell(0, 45), QString("S44"));
      QCOMPARE(g.Cell(2, 2), QString()); // NULL middle name
      QCOMPARE(g.Cell(1, 2), QString("F"));
      QCOMPARE(g.Cell(3, 3), QString("105"));
      QCOMPARE(g.Cell(3, 4), QString()); // 0: no instrument
      QCOMPARE(g.Cell(3, 1), QString()); // -1: no instrument
    }
  }
}

void TestMainLists::namesAreShownAsStored() {
  Run run;
  run.quietSettings();
  const QStringList names = {QString("O'Brien \"Bob\" 100%"), QString("Tab\there\\"),
                             QString::fromUtf8("Иванов"),     QString::fromUtf8("שלום עולם"),
                             QString(300, QChar(u'x')),       QString::fromUtf8("𝔸𝕓")};
  QStringList inserts;
  for (const QString &n : names) {
    QString lit = n;
    lit.replace("'", "''");
    inserts << insertUser("'" + lit + "'", "'" + lit + "'", "'" + lit + "'");
  }
  exec(run.db(), inserts);
  run.start();
  for (int i = 0; i < names.size(); ++i)
    for (int c = 0; c < 3; ++c)
      QCOMPARE(run.users().Cell(c, i + 1), names[i]);
  // The names reach the name panel and the status bar unchanged.
  run.viewHistoryOf(3);
  QCOMPARE(run.main().PanelName->text(), names[2] + " " + names[2] + " " + names[2]);
  QCOMPARE(run.main().StatusPanel[1]->text(),
           names[2] + " " + names[2].left(1) + "." + names[2].left(1) + ".");
  run.main().action("ASelectUser")->trigger();
  run.viewHistoryOf(6);
  // A character outside the basic plane is not split.
  QCOMPARE(run.main().StatusPanel[1]->text(),
           names[5] + " " + names[5].left(2) + "." + names[5].left(2) + ".");
}

void TestMainLists::historyListGrowsInStepsOf40AndSelectsLastEvent() {
  Run run;
  run.quietSettings();
  QStringList inserts{insertUser("'Abcd'", "'Efgh'", "'Ijkl'")};
  for (int i = 0; i < 85; ++i)
    inserts << insertEvent(1, QString::number(45000 + i), "5");
  exec(run.db(), inserts);
  run.start();
  // Both models keep the rules of item models through fills and clears.
  QAbstractItemModelTester userTester(run.main().SG_User->model(),
                                      QAbstractItemModelTester::FailureReportingMode::QtTest);
  QAbstractItemModelTester historyTester(run.main().SG_History->model(),
                                         QAbstractItemModelTester::FailureReportingMode::QtTest);
  run.viewHistoryOf(1);
  QVERIFY(!run.main().SG_History->isHidden());
  QVERIFY(run.main().SG_User->isHidden());
  QCOMPARE(run.history().RowCount(), 121);
  QCOMPARE(run.main().SG_History->SelectedRow(), 85);
  QCOMPARE(run.main().SG_History->SelectedRange(), std::make_pair(85, 85));
  QVERIFY(run.history().RowFilled(85));
  QVERIFY(!run.history().RowFilled(86));
  QVERIFY(run.main().PanelName->isVisible());
  QCOMPARE(run.main().PanelName->text(), QString("Abcd Efgh Ijkl"));
  QCOMPARE(run.main().StatusPanel[1]->text(), QString("Abcd E.I."));
  run.main().action("ASelectUser")->trigger();
  run.main().SG_History->cells().ClearGrid(40);
  QCOMPARE(run.history().RowCount(), 41);
  QVERIFY(!run.history().RowFilled(1));
}

void TestMainLists::historyWithoutEvents() {
  Run run;
  run.quietSettings();
  exec(run.db(), {insertUser("'Abcd'", "''", "'Ijkl'")});
  run.start();
  run.viewHistoryOf(1);
  QCOMPARE(run.history().RowCount(), 41);
  QCOMPARE(run.main().SG_History->SelectedRow(), 0);
  QCOMPARE(run.main().PanelName->text(), QString("Abcd  Ijkl"));
  QCOMPARE(run.main().StatusPanel[1]->text(), QString("Abcd I."));
}

void TestMainLists::historyCells_data() {
  QTest::addColumn<QString>("type");
  QTest::addColumn<QString>("value");
  QTest::addColumn<QString>("de");
  QTest::addColumn<QString>("device");
  QTest::addColumn<int>("eventEntry");
  QTest::addColumn<bool>("valueShown");
  QTest::addColumn<bool>("deShown");
  QTest::addColumn<QString>("deviceText");
  QTest::newRow("gamma") << "1"
                         << "0.00025"
                         << "0.5"
                         << "7" << 13 << true << false << "7";
  QTest::newRow("gamma negative") << "1"
                                  << "-0.1"
                                  << "NULL"
                                  << "7" << 13 << false << false << "7";
  QTest::newRow("phosphorus") << "2"
                              << "1"
                              << "1"
                              << "NULL" << 14 << false << false << "";
  QTest::newRow("arsenic") << "3"
                           << "1"
                           << "1"
                           << "0" << 15 << false << false << "";
  QTest::newRow("on, value NULL") << "4"
                                  << "NULL"
                                  << "NULL"
                                  << "-5" << 17 << false << false << "";
  QTest::newRow("on, value 1") << "4"
                               << "1"
                               << "NULL"
                               << "1" << 17 << false << false << "1";
  QTest::newRow("off, value -1") << "4"
                                 << "-1"
                                 << "NULL"
                                 << "1" << 16 << false << false << "1";
  QTest::newRow("off, value 0") << "4"
                                << "0"
                                << "NULL"
                                << "1" << 16 << false << false << "1";
  QTest::newRow("received") << "5"
                            << "NULL"
                            << "NULL"
                            << "'x'" << 21 << false << false << "";
  QTest::newRow("handed") << "6"
                          << "NULL"
                          << "NULL"
                          << "2" << 22 << false << false << "2";
  QTest::newRow("time alarm") << "7"
                              << "0.00025"
                              << "0.0012"
                              << "3" << 23 << true << true << "3";
  QTest::newRow("time alarm, text values") << "7"
                                           << "'abc'"
                                           << "'1e'"
                                           << "3" << 23 << false << false << "3";
  QTest::newRow("dose alarm") << "8"
                              << "0.1"
                              << "0"
                              << "3" << 18 << false << true << "3";
  QTest::newRow("dose alarm, NULL DE") << "8"
                                       << "0.1"
                                       << "NULL"
                                       << "3" << 18 << false << false << "3";
  QTest::newRow("battery") << "9"
                           << "1"
                           << "1"
                           << "2147483648" << 19 << false << false << "2147483648";
}

void TestMainLists::historyCells() {
  QFETCH(QString, type);
  QFETCH(QString, value);
  QFETCH(QString, de);
  QFETCH(QString, device);
  QFETCH(int, eventEntry);
  QFETCH(bool, valueShown);
  QFETCH(bool, deShown);
  QFETCH(QString, deviceText);
  Run run;
  run.quietSettings();
  exec(run.db(),
       {insertUser("'A'", "'B'", "'C'"), insertEvent(1, "45000.5", type, value, de, device)});
  run.start();
  run.viewHistoryOf(1);
  const StringGridModel &g = run.history();
  const TextTable &t = run.state.Texts;
  QCOMPARE(g.Cell(1, 1), t.at(eventEntry));
  const double v = value.toDouble(), d = de.toDouble();
  QCOMPARE(g.Cell(2, 1), valueShown ? FormatDose(v, false, true, t) : QString());
  QCOMPARE(g.Cell(3, 1), deShown ? FormatDose(d, false, false, t) : QString());
  QCOMPARE(g.Cell(4, 1), deviceText);
  // Short date, a blank, long time.
  const QLocale locale;
  QVERIFY(g.Cell(0, 1).startsWith(locale.toString(QDate(2023, 3, 15), QLocale::ShortFormat) + " "));
  QVERIFY(g.Cell(0, 1).contains("12"));
}

void TestMainLists::badHistoryRowsAreSkippedWithoutGaps() {
  Run run;
  run.quietSettings();
  // Rows without a time or with a code outside 1 to 9 get no row; odd values
  // in the other columns only empty their cells.
  exec(run.db(),
       {insertUser("'A'", "'B'", "'C'"), insertEvent(1, "45000", "1", "0.001"),
        insertEvent(1, "NULL", "1"), insertEvent(1, "45001", "12"), insertEvent(1, "45001", "0"),
        insertEvent(1, "45001", "-3"), insertEvent(1, "45001", "4.5"),
        insertEvent(1, "45001", "'abc'"), insertEvent(1, "'yesterday'", "1"),
        insertEvent(1, "1e300", "5", "1e308", "-1e308", "9223372036854775807"),
        insertEvent(1, "-1e300", "6", "'x'", "'y'", "-9223372036854775808"),
        insertEvent(1, "45002", "9")});
  run.start();
  run.viewHistoryOf(1);
  const StringGridModel &g = run.history();
  // In time order: a time far outside the calendar sorts by its number and
  // is shown as an empty cell, not skipped.
  QCOMPARE(g.Cell(0, 1), QString());
  QCOMPARE(g.Cell(1, 1), run.state.Texts.at(22));
  QCOMPARE(g.Cell(4, 1), QString());
  QCOMPARE(g.Cell(1, 2), run.state.Texts.at(13));
  QCOMPARE(g.Cell(1, 3), run.state.Texts.at(19));
  QCOMPARE(g.Cell(0, 4), QString());
  QCOMPARE(g.Cell(1, 4), run.state.Texts.at(21));
  QVERIFY(!g.RowFilled(5));
  QCOMPARE(run.main().SG_History->SelectedRow(), 4);
  // Midnight shows the date only.
  QCOMPARE(g.Cell(0, 3), QLocale().toString(QDate(2023, 3, 17), QLocale::ShortFormat));
}

namespace {

QStringList DeviceColumn(const StringGridModel &g) {
  QStringList out;
  for (int row = 1; row < g.RowCount() && g.RowFilled(row); ++row)
    out << g.Cell(4, row);
  return out;
}

void ClickTitle(StringGrid *grid, int column) {
  QHeaderView *header = grid->horizontalHeader();
  const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                  header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

// Events are listed by time whatever order they were stored in, events of
// one time in the order they were filed; a click on a title sorts by that
// column, a second click the other way, and the selection stays with its
// event.
void TestMainLists::historyReadsInTimeOrderAndSortsByAClickedTitle() {
  Run run;
  run.quietSettings();
  exec(run.db(),
       {insertUser("'A'", "'B'", "'C'"), insertEvent(1, "45002", "7", "0.003", "0.020", "3"),
        insertEvent(1, "45000", "5", "NULL", "NULL", "1"),
        insertEvent(1, "45001", "8", "NULL", "0.010", "2"),
        insertEvent(1, "45000", "1", "0.001", "NULL", "4")});
  run.start();
  StringGrid *grid = run.main().SG_History;
  run.viewHistoryOf(1);
  QCOMPARE(DeviceColumn(run.history()), (QStringList{"1", "4", "2", "3"}));
  QCOMPARE(grid->SelectedRow(), 4);
  QCOMPARE(grid->horizontalHeader()->sortIndicatorSection(), 0);

  ClickTitle(grid, 4);
  QCOMPARE(DeviceColumn(run.history()), (QStringList{"1", "2", "3", "4"}));
  QCOMPARE(run.history().Cell(4, grid->SelectedRow()), QString("3"));
  ClickTitle(grid, 4);
  QCOMPARE(DeviceColumn(run.history()), (QStringList{"4", "3", "2", "1"}));
  QCOMPARE(run.history().Cell(4, grid->SelectedRow()), QString("3"));
  // Doses: the cells without one count as the lowest and keep time order.
  ClickTitle(grid, 3);
  QCOMPARE(DeviceColumn(run.history()), (QStringList{"1", "4", "2", "3"}));
  ClickTitle(grid, 3);
  QCOMPARE(DeviceColumn(run.history()), (QStringList{"3", "2", "1", "4"}));
  ClickTitle(grid, 2);
  QCOMPARE(DeviceColumn(run.history()), (QStringList{"1", "2", "4", "3"}));
  // The events' texts, in the language shown.
  ClickTitle(grid, 1);
  QStringList texts;
  for (int row = 1; row <= 4; ++row)
    texts << run.history().Cell(1, row);
  QStringList sorted = texts;
  std::sort(sorted.begin(), sorted.end(),
            [](const QString &a, const QString &b) { return a.localeAwareCompare(b) < 0; });
  QCOMPARE(texts, sorted);
  // A refill keeps the order chosen; the time title brings time order back.
  ClickTitle(grid, 4);
  run.main().RussianLangClick();
  QCOMPARE(DeviceColumn(run.history()), (QStringList{"1", "2", "3", "4"}));
  ClickTitle(grid, 0);
  QCOMPARE(DeviceColumn(run.history()), (QStringList{"1", "4", "2", "3"}));
  ClickTitle(grid, 0);
  QCOMPARE(DeviceColumn(run.history()), (QStringList{"3", "2", "1", "4"}));
}

// After a fill the last event is the bottom row of the view, with the ones
// before it above; the empty rows after it take neither a click nor the keys.
void TestMainLists::lastEventSitsAtTheBottomAndEmptyRowsCannotBeSelected() {
  Run run;
  run.quietSettings();
  QStringList inserts{insertUser("'Abcd'", "'Efgh'", "'Ijkl'"), insertUser("'Few'", "'E'", "'V'")};
  for (int i = 0; i < 85; ++i)
    inserts << insertEvent(1, QString::number(45000 + i), "5");
  for (int i = 0; i < 3; ++i)
    inserts << insertEvent(2, QString::number(45000 + i), "5");
  exec(run.db(), inserts);
  run.start();
  StringGrid *grid = run.main().SG_History;
  run.main().resize(900, 600);
  run.viewHistoryOf(1);
  QCOMPARE(grid->SelectedRow(), 85);
  // The view scrolls by whole rows: below the last event there is at most
  // part of one empty row.
  const QRect last = grid->visualRect(run.history().index(84, 0));
  QVERIFY(last.top() >= 0 && last.bottom() < grid->viewport()->height());
  QVERIFY(grid->viewport()->height() - last.bottom() < 2 * last.height());
  QVERIFY(grid->TopRow() > 1);

  run.main().action("ASelectUser")->trigger();
  run.viewHistoryOf(2);
  QCOMPARE(grid->SelectedRow(), 3);
  QCOMPARE(grid->TopRow(), 1);
  const StringGridModel &g = run.history();
  QVERIFY(g.flags(g.index(2, 0)) & Qt::ItemIsSelectable);
  QCOMPARE(g.flags(g.index(3, 0)), Qt::NoItemFlags);
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(g.index(6, 1)).center());
  QCOMPARE(grid->SelectedRange(), std::make_pair(3, 3));
  grid->setFocus();
  QTest::keyClick(grid, Qt::Key_Down);
  QTest::keyClick(grid, Qt::Key_End);
  QTest::keyClick(grid, Qt::Key_PageDown);
  QCOMPARE(grid->SelectedRange(), std::make_pair(3, 3));
  QTest::keyClick(grid, Qt::Key_Up);
  QCOMPARE(grid->SelectedRange(), std::make_pair(2, 2));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(g.index(0, 1)).center());
  QCOMPARE(grid->SelectedRange(), std::make_pair(1, 1));
}

void TestMainLists::historyModelStepsOverEveryEventWalked() {
  using D = std::optional<double>;
  HistoryGridModel model;
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
  const TextTable texts;
  QList<StoredEvent> events;
  for (int i = 0; i < 40; ++i)
    events << StoredEvent{7, 1, D(45000 + i), 1 + i % 9, D(0.001), D(0.002)};
  // An event the list leaves out still counts for the step: after 40 rows it
  // adds 40 empty ones.
  events << StoredEvent{7, 1, D(), 1, D(0.001), D(0.002)};
  QCOMPARE(model.Fill(events, texts, false), 40);
  QCOMPARE(model.RowCount(), 81);
  QVERIFY(model.RowFilled(40));
  QVERIFY(!model.RowFilled(41));
  QCOMPARE(model.Cell(1, 40), texts.at(17)); // code 4, value above 0: on
  events.removeLast();
  QCOMPARE(model.Fill(events, texts, false), 40);
  QCOMPARE(model.RowCount(), 41);
  // Refills shrink the rows again; a clear empties them.
  QCOMPARE(model.Fill(events.mid(0, 2), texts, false), 2);
  QCOMPARE(model.RowCount(), 41);
  model.ClearGrid(10);
  QCOMPARE(model.RowCount(), 11);
  QVERIFY(!model.RowFilled(1));
  QCOMPARE(model.Fill({}, texts, false), 0);
  QCOMPARE(model.RowCount(), 41);
}

// The printed history is the rows the list was filled from: the filter of
// that fill, the events the list leaves out, nothing stored since. After a
// select that failed there are none, and nothing is printed.
void TestMainLists::printHistoryTakesTheRowsOfTheList() {
  Run run;
  run.quietSettings();
  exec(run.db(),
       {insertUser("'A'", "'B'", "'C'"), insertEvent(1, "45000", "1", "0.001", "NULL", "7771"),
        insertEvent(1, "45001", "9", "NULL", "NULL", "7772"),
        insertEvent(1, "NULL", "5", "NULL", "NULL", "7773")});
  run.start();
  QTemporaryDir out;
  QStringList printed;
  run.ctx.FormPrintHistory->SetPreview([&](const ReportJob &job, QWidget *) {
    const QString path = out.filePath(QString("history%1.pdf").arg(printed.size()));
    {
      QPdfWriter pdf(path);
      QVERIFY(job.print(pdf));
    }
    QProcess text;
    text.start("pdftotext", {path, "-"});
    QVERIFY2(text.waitForFinished(30000), "pdftotext did not finish");
    printed << QString::fromUtf8(text.readAllStandardOutput());
  });
  run.state.Filter.EventTypes = {5, 9};
  run.viewHistoryOf(1);
  QCOMPARE(run.history().Cell(4, 1), QString("7772"));
  QVERIFY(!run.history().RowFilled(2));
  run.state.Filter = {};
  exec(run.db(), {insertEvent(1, "45002", "6", "NULL", "NULL", "7774")});
  run.main().action("APrintHistory")->trigger();
  QCOMPARE(printed.size(), 1);
  for (const char *device : {"7772", "7773"})
    QVERIFY2(printed[0].contains(device), qPrintable(printed[0]));
  for (const char *device : {"7771", "7774"})
    QVERIFY2(!printed[0].contains(device), qPrintable(printed[0]));

  for (const char *suffix : {"", "-wal", "-shm"})
    QFile::remove(run.db() + suffix);
  run.ctx.DM->SetLocation(run.folder.file("gone/none.db"));
  run.main().action("ACancelFilter")->trigger();
  QCOMPARE(run.history().Cell(4, 1), QString("7772"));
  run.main().action("APrintHistory")->trigger();
  QCOMPARE(printed.size(), 1);
  QVERIFY(run.messages.shown.empty());
}

void TestMainLists::doseValuesFollowTheUnitSetting() {
  Run run;
  writeFile(run.folder.file("VX4418.ini"), "[Program setting]\nRunSet=0\n[History setting]\n"
                                           "Roentgen=1\n");
  exec(run.db(),
       {insertUser("'A'", "'B'", "'C'"), insertEvent(1, "45000", "7", "0.00025", "0.0012")});
  run.start();
  run.viewHistoryOf(1);
  const TextTable &t = run.state.Texts;
  QCOMPARE(run.history().Cell(2, 1), FormatDose(0.00025, true, true, t));
  QCOMPARE(run.history().Cell(3, 1), FormatDose(0.0012, true, false, t));
  QVERIFY(run.history().Cell(2, 1) != FormatDose(0.00025, false, true, t));
  // The unit of a fill stays until the next fill.
  run.state.ProgSetting.Roentgen = false;
  QCOMPARE(run.history().Cell(3, 1), FormatDose(0.0012, true, false, t));
}

void TestMainLists::columnWidthsFollowTheLayoutRules() {
  Run run;
  run.quietSettings();
  exec(run.db(), {insertUser("'A'", "'B'", "'C'")});
  run.start();
  StringGrid *u = run.main().SG_User;
  run.main().LayoutUserList(true);
  const int s = run.main().style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  const int w = u->viewport()->width();
  QCOMPARE(u->columnWidth(0), (w - s) / 4);
  QCOMPARE(u->columnWidth(3), (w - s) / 5);
  QCOMPARE(u->columnWidth(1), (w - s - (w - s) / 4 - (w - s) / 5) / 2);
  QCOMPARE(u->columnWidth(2), u->columnWidth(1));

  run.viewHistoryOf(1);
  StringGrid *h = run.main().SG_History;
  const int hw = h->viewport()->width();
  QCOMPARE(h->columnWidth(0), (hw - 4) / 5 - 10);
  QCOMPARE(h->columnWidth(1), ((hw - 4) / 5) * 2);
  QCOMPARE(h->columnWidth(3), h->columnWidth(2));
  int sum = 0;
  for (int c = 0; c < 5; ++c)
    sum += h->columnWidth(c);
  QCOMPARE(sum, hw - 4 - 3);
}

void TestMainLists::doubleClicksSwitchLists() {
  Run run;
  run.quietSettings();
  exec(run.db(), {insertUser("'A'", "'B'", "'C'"), insertUser("'D'", "'E'", "'F'")});
  run.start();
  QVERIFY(QTest::qWaitForWindowExposed(&run.main()));
  StringGrid *u = run.main().SG_User;
  auto dblClick = [](StringGrid *g, int row) {
    const QRect r = g->visualRect(g->model()->index(row - 1, 0));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, r.center());
  };
  // An empty row below the last person does nothing.
  dblClick(u, 5);
  QVERIFY(!u->isHidden());
  dblClick(u, 2);
  QVERIFY(u->isHidden());
  QCOMPARE(run.main().PanelName->text(), QString("D E F"));
  QCOMPARE(run.state.User.CurrentUserKey, 2);
  // The history list and the name panel return to the user list.
  dblClick(run.main().SG_History, 1);
  QVERIFY(!u->isHidden());
  QVERIFY(run.main().SG_History->isHidden());
  QVERIFY(run.main().PanelName->isHidden());
  run.viewHistoryOf(1);
  QTest::mouseDClick(run.main().PanelName, Qt::LeftButton);
  QVERIFY(!u->isHidden());
  QCOMPARE(run.main().StatusPanel[1]->text(), QString());
}

void TestMainLists::selectAllTakesFilledRowsAndOwnsCtrlA() {
  Run run;
  run.quietSettings();
  QStringList inserts{insertUser("'A'", "'B'", "'C'"), insertUser("'D'", "'E'", "'F'"),
                      insertUser("'G'", "'H'", "'I'")};
  for (int i = 0; i < 3; ++i)
    inserts << insertEvent(1, QString::number(45000 + i), "5");
  exec(run.db(), inserts);
  run.start();
  QVERIFY(QTest::qWaitForWindowActive(&run.main()));
  // Ctrl+A on the user list selects the filled rows and opens no editor.
  int editorShown = 0;
  rejectWhenShown("FormUser", &editorShown);
  run.main().SG_User->setFocus();
  QTest::keyClick(run.main().SG_User, Qt::Key_A, Qt::ControlModifier);
  QCOMPARE(run.main().SG_User->SelectedRange(), std::make_pair(1, 3));
  QVERIFY(run.main().action("AddUser")->shortcut().isEmpty());
  QCOMPARE(run.main().action("ASelectAll")->shortcut(), QKeySequence("Ctrl+A"));
  QTest::qWait(20);
  QCOMPARE(editorShown, 0);
  run.viewHistoryOf(1);
  run.main().SG_History->SelectRow(2);
  run.main().SG_History->setFocus();
  QTest::keyClick(run.main().SG_History, Qt::Key_A, Qt::ControlModifier);
  QCOMPARE(run.main().SG_History->SelectedRange(), std::make_pair(1, 3));
  // The context menu carries the three list commands.
  QMenu *popup = run.main().findChild<QMenu *>("PopupMenu1");
  QVERIFY(popup);
  QStringList names;
  for (QAction *a : popup->actions())
    names << a->objectName();
  QCOMPARE(names, QStringList({"ASelectAll", "ASaveToAscii", "ACopyToClipboard"}));
}

void TestMainLists::listsKeepTheirRowsWhenDatabaseGoes() {
  Run run;
  run.quietSettings();
  exec(run.db(), {insertUser("'A'", "'B'", "'C'"), insertUser("'D'", "'E'", "'F'", "7"),
                  insertEvent(1, "45000", "1", "0.001"), insertEvent(1, "45001", "5")});
  run.start();
  run.viewHistoryOf(1);
  // The database file disappears, and the program is pointed at a path
  // where nothing valid is.
  for (const char *suffix : {"", "-wal", "-shm"})
    QFile::remove(run.db() + suffix);
  run.ctx.DM->SetLocation(run.folder.file("gone/none.db"));
  run.main().action("ACancelFilter")->trigger();
  run.main().action("RussianLang")->trigger();
  // The Russian texts are in, but the list keeps the rows of its last fill.
  QVERIFY(run.state.Texts.at(13) != TextTable::defaultText(13));
  QCOMPARE(run.history().Cell(1, 1), TextTable::defaultText(13));
  QVERIFY(run.history().RowFilled(2));
  run.main().action("ASelectUser")->trigger();
  QCOMPARE(run.users().Cell(0, 2), QString("D"));
  run.main().SG_User->SelectRow(1);
  run.main().action("AViewHistory")->trigger();
  QVERIFY(run.main().SG_History->isHidden());
  // Deleting looks the person up first: the database problem is told and
  // nothing is asked or done.
  run.main().action("ADeleteUser")->trigger();
  QCOMPARE(run.users().Cell(0, 1), QString("A"));
  QCOMPARE(run.messages.texts(), QStringList{run.state.Texts.at(67)});
}

QObject *makeTestMainLists() {
  return new TestMainLists;
}

#include "tst_mainlists.moc"
