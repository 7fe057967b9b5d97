// The history filter window driven through its controls, its output run
// through the history select on real rows.
#include "ProgramFolder.h"
#include "QueuedFileDialogs.h"
#include "RecordingMessages.h"
#include "common/AppContext.h"
#include "common/FileDialogs.h"
#include "common/OperatorMessages.h"
#include "db/TDM.h"
#include "dialogs/FormFilter.h"
#include "history/DayCount.h"
#include <QSqlQuery>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <limits>

namespace {

using Tags = QList<int>;

struct Event {
  int tag; // stored as EventValue, to tell the rows apart
  int user;
  QVariant device;
  QDateTime when;
  int type;
};

QDateTime At(int month, int day, int h, int m, int s) {
  return QDateTime(QDate(2026, month, day), QTime(h, m, s));
}

// Users 1 and 2 with events of every kind, several instruments and times
// around the interval 1 March 08:00:00 to 2 March 17:30:15.
const QList<Event> &Events() {
  static const QList<Event> events{
      {1, 1, 1203, At(3, 1, 8, 0, 0), 1},
      {2, 1, 1203, At(3, 1, 12, 0, 0), 2},
      {3, 1, 1203, At(3, 2, 9, 0, 0), 5},
      {4, 1, 1203, At(3, 2, 17, 30, 15), 9},
      {5, 1, 1203, At(3, 2, 17, 30, 16), 1},
      {6, 1, 77, At(3, 1, 10, 0, 0), 6},
      {7, 1, 77, At(2, 28, 10, 0, 0), 4},
      {8, 1, 77, At(3, 1, 11, 0, 0), 3},
      {9, 1, 1203, At(3, 1, 7, 59, 59), 9},
      {10, 1, 1203, At(3, 1, 13, 0, 0), 7},
      {11, 1, 1203, At(3, 1, 14, 0, 0), 8},
      {12, 1, -5, At(3, 1, 15, 0, 0), 4},
      {20, 2, 1203, At(3, 1, 9, 0, 0), 1},
      {21, 2, 55, At(3, 1, 9, 0, 0), 5},
      // Written by another program: no instrument, and one beyond 32 bits.
      {22, 2, QVariant(), At(3, 1, 9, 0, 0), 1},
      {23, 2, 3000000000LL, At(3, 1, 9, 0, 0), 2},
  };
  return events;
}

using Codes = QList<int>;
constexpr int NoDevice = std::numeric_limits<int>::min();

const Tags AllOfUser1{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

// One run: the data module on a copy of the supplied database and the filter
// window, as start-up creates them.
struct Run {
  ProgramFolder folder;
  AppState state;
  RecordingMessages messages;
  QueuedFileDialogs files;
  AppContext ctx{state, messages, files, QString()};
  std::shared_ptr<SettableClock> clock =
      std::make_shared<SettableClock>(QDateTime(QDate(2026, 3, 3), QTime(12, 0, 0, 250)));
  std::unique_ptr<TDM> dm;
  std::unique_ptr<TFormFilter> form;

  explicit Run(bool withEvents = true) {
    ctx.executableFolder = folder.path();
    state.clock = clock;
    dm = std::make_unique<TDM>(state.clock, folder.databasePath());
    ctx.DM = dm.get();
    const bool stored = !withEvents || dm->Connection().InTransaction([this] {
      return std::all_of(Events().begin(), Events().end(),
                         [this](const Event &e) { return insert(e); });
    });
    if (!stored)
      qFatal("cannot store the test events: %s", qPrintable(dm->LastError()));
    form = std::make_unique<TFormFilter>(ctx);
    ctx.FormFilter = form.get();
  }

  bool insert(const Event &e) {
    QSqlQuery q;
    return dm->Connection().Exec(q,
                                 "INSERT INTO TableHistory (DeviceId, UserId, DateTimeEvent, "
                                 "EventType, EventValue) VALUES (:D, :U, :T, :E, :V)",
                                 {{":D", e.device},
                                  {":U", e.user},
                                  {":T", DateTimeToDayCount(e.when)},
                                  {":E", e.type},
                                  {":V", e.tag}});
  }

  // Opens the window modally, lets `act` work in it and answers the way it
  // closed; a window that `act` left open is closed with Cancel.
  int open(const std::function<void(TFormFilter &)> &act) {
    TFormFilter *f = form.get();
    QTimer::singleShot(0, f, [f, act] {
      act(*f);
      if (f->isVisible())
        f->reject();
    });
    const int result = f->exec();
    // What the main window does after an OK close.
    if (result == QDialog::Accepted)
      state.Filter = f->Criteria;
    return result;
  }

  // The tags of the user's rows as the history select returns them now.
  Tags history(int user) {
    Tags tags;
    const std::optional<QList<StoredEvent>> rows = dm->History().UserHistory(user, state.Filter);
    if (!rows)
      return {-1};
    for (const StoredEvent &e : *rows)
      tags << int(e.EventValue.value_or(0));
    std::sort(tags.begin(), tags.end());
    return tags;
  }
};

void Tick(QCheckBox *box, bool on = true) {
  if (box->isChecked() != on)
    box->click();
}

void Press(QPushButton *button) {
  QTest::mouseClick(button, Qt::LeftButton);
}

void TypeDevice(TFormFilter &f, const QString &text) {
  f.cmb_Device->lineEdit()->clear();
  QTest::keyClicks(f.cmb_Device->lineEdit(), text);
}

void SetInterval(TFormFilter &f, const QDateTime &from, const QDateTime &to) {
  f.DateFrom->setDate(from.date());
  f.TimeFrom->setTime(from.time());
  f.DateTo->setDate(to.date());
  f.TimeTo->setTime(to.time());
}

const QDateTime Begin = At(3, 1, 8, 0, 0);
const QDateTime End = At(3, 2, 17, 30, 15);

// The example of the combined filter: interval, instrument 1203, gamma,
// receive/hand and battery.
void CombinedExample(TFormFilter &f) {
  Tick(f.CB_DateTime);
  SetInterval(f, Begin, End);
  Tick(f.CB_OnDevice);
  TypeDevice(f, "1203");
  Tick(f.CB_Event);
  for (QCheckBox *b : {f.CB_Alarm_Gamma, f.CB_RecHand, f.CB_Battary})
    Tick(b);
}

// Every visible control lies inside its parent, so nothing is cut off.
void VerifyEverythingFits(const QWidget *w) {
  for (const QWidget *child : w->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
    if (child->isHidden() || child->isWindow())
      continue;
    QVERIFY2(w->rect().contains(child->geometry()), qPrintable(child->objectName()));
    QVERIFY2(child->width() >= child->minimumSizeHint().width(), qPrintable(child->objectName()));
    VerifyEverythingFits(child);
  }
}

} // namespace

class TestFilter : public QObject {
  Q_OBJECT
private slots:
  void nothingTickedShowsWholeHistory();
  void onlyPhosphorusBox();
  void combinedExampleNarrowsEachUser();
  void laterStartFindsSameRows();
  void dateIntervalIncludesItsEnds();
  void eventSwitchWithoutBoxesAppliesNoEventCondition();
  void receiveHandBoxCoversBothCodes();
  void badDeviceNumbers_data();
  void badDeviceNumbers();
  void enterInDeviceListNeitherClosesNorAddsAnItem();
  void deviceListHoldsEveryNumberOfTheHistory();
  void deviceListUnavailableWithoutHistory();
  void clearFormThenCancelKeepsFilter();
  void cancelAllFiltersEmptiesOutputsAndKeepsTicks();
  void hiddenCancelSwitchClearsCriteriaForNextOpening();
  void enablingRulesFollowTheSwitches();
  void choicesKeptBetweenOpenings();
  void pickersStartAtLastWeek();
  void textsOfCurrentLanguageAtEveryShowing();
  void layoutFollowsTranslatedLabels();
};

void TestFilter::nothingTickedShowsWholeHistory() {
  Run run;
  QCOMPARE(run.open([](TFormFilter &f) { Press(f.SB_Apply); }), int(QDialog::Accepted));
  QVERIFY(run.form->Criteria.IsEmpty());
  QVERIFY(!run.state.Filter.Interval);
  QCOMPARE(run.history(1), AllOfUser1);
}

void TestFilter::onlyPhosphorusBox() {
  Run run;
  run.open([](TFormFilter &f) {
    Tick(f.CB_Event);
    Tick(f.CB_Alarm_Phosphorum);
    Press(f.SB_Apply);
  });
  QCOMPARE(run.form->Criteria.EventTypes, Codes{2});
  QCOMPARE(run.history(1), Tags{2});
}

void TestFilter::combinedExampleNarrowsEachUser() {
  Run run;
  QCOMPARE(run.open([](TFormFilter &f) {
    CombinedExample(f);
    Press(f.SB_Apply);
  }),
           int(QDialog::Accepted));
  QCOMPARE(run.form->Criteria.EventTypes, (Codes{1, 5, 6, 9}));
  QCOMPARE(run.form->Criteria.DeviceId, std::optional<qint32>(1203));
  QVERIFY(run.state.Filter.Interval);
  QCOMPARE(run.state.Filter.Interval->Begin, Begin);
  QCOMPARE(run.state.Filter.Interval->End, End);
  QCOMPARE(run.history(1), (Tags{1, 3, 4}));
  QCOMPARE(run.history(2), Tags{20});
}

void TestFilter::laterStartFindsSameRows() {
  Run run;
  run.open([](TFormFilter &f) {
    CombinedExample(f);
    SetInterval(f, End, Begin);
    Press(f.SB_Apply);
  });
  QCOMPARE(run.state.Filter.Interval->Begin, Begin);
  QCOMPARE(run.state.Filter.Interval->End, End);
  QCOMPARE(run.history(1), (Tags{1, 3, 4}));
}

void TestFilter::dateIntervalIncludesItsEnds() {
  Run run;
  run.open([](TFormFilter &f) {
    Tick(f.CB_DateTime);
    SetInterval(f, Begin, End);
    Press(f.SB_Apply);
  });
  QVERIFY(run.form->Criteria.Interval);
  QVERIFY(!run.form->Criteria.DeviceId);
  QVERIFY(run.form->Criteria.EventTypes.isEmpty());
  QCOMPARE(run.history(1), (Tags{1, 2, 3, 4, 6, 8, 10, 11, 12}));
}

void TestFilter::eventSwitchWithoutBoxesAppliesNoEventCondition() {
  Run run;
  run.open([](TFormFilter &f) {
    Tick(f.CB_Event);
    Tick(f.CB_OnDevice);
    TypeDevice(f, "77");
    Press(f.SB_Apply);
  });
  QCOMPARE(run.form->Criteria.DeviceId, std::optional<qint32>(77));
  QVERIFY(run.form->Criteria.EventTypes.isEmpty());
  QCOMPARE(run.history(1), (Tags{6, 7, 8}));
}

void TestFilter::receiveHandBoxCoversBothCodes() {
  Run run;
  run.open([](TFormFilter &f) {
    Tick(f.CB_Event);
    Tick(f.CB_RecHand);
    Tick(f.CB_OnOff);
    Press(f.SB_Apply);
  });
  QCOMPARE(run.form->Criteria.EventTypes, (Codes{4, 5, 6}));
  QCOMPARE(run.history(1), (Tags{3, 6, 7, 12}));
}

void TestFilter::badDeviceNumbers_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("device"); // NoDevice: no instrument condition
  QTest::addColumn<Tags>("rows");
  // With the on/off box ticked as well: the other conditions stand.
  QTest::newRow("letters") << "12a" << NoDevice << Tags{7, 12};
  QTest::newRow("negative") << "-5" << -5 << Tags{12};
  QTest::newRow("overflow") << "2147483648" << NoDevice << Tags{7, 12};
  QTest::newRow("far beyond 64 bits") << "99999999999999999999999" << NoDevice << Tags{7, 12};
  QTest::newRow("blanks around") << "  77 " << 77 << Tags{7};
  QTest::newRow("empty") << "" << NoDevice << Tags{7, 12};
  // Text that would reach other users' rows or other statements if it were
  // spliced in.
  QTest::newRow("other user") << "0 OR UserId = 2" << NoDevice << Tags{7, 12};
  QTest::newRow("second statement") << "0; DELETE FROM TableHistory" << NoDevice << Tags{7, 12};
  QTest::newRow("comment") << "77 --" << NoDevice << Tags{7, 12};
}

void TestFilter::badDeviceNumbers() {
  QFETCH(QString, text);
  QFETCH(int, device);
  QFETCH(Tags, rows);
  Run run;
  QCOMPARE(run.open([&](TFormFilter &f) {
    Tick(f.CB_OnDevice);
    TypeDevice(f, text);
    Tick(f.CB_Event);
    Tick(f.CB_OnOff);
    Press(f.SB_Apply);
  }),
           int(QDialog::Accepted));
  QCOMPARE(run.form->Criteria.DeviceId,
           device == NoDevice ? std::nullopt : std::optional<qint32>(device));
  QCOMPARE(run.form->Criteria.EventTypes, Codes{4});
  QVERIFY(run.messages.shown.empty());
  QCOMPARE(run.history(1), rows);
  // Nothing else ran: every row is still there.
  run.state.Filter = {};
  QCOMPARE(run.history(1), AllOfUser1);
  QCOMPARE(run.history(2).size(), 4);
}

void TestFilter::enterInDeviceListNeitherClosesNorAddsAnItem() {
  Run run;
  int items = 0;
  bool stillOpen = false;
  run.open([&](TFormFilter &f) {
    Tick(f.CB_OnDevice);
    items = f.cmb_Device->count();
    TypeDevice(f, "4242");
    QTest::keyClick(f.cmb_Device->lineEdit(), Qt::Key_Return);
    stillOpen = f.isVisible();
  });
  QVERIFY(stillOpen);
  QCOMPARE(run.form->cmb_Device->count(), items);
}

void TestFilter::deviceListHoldsEveryNumberOfTheHistory() {
  Run run;
  QStringList items;
  bool enabled = false;
  QString current;
  run.open([&](TFormFilter &f) {
    for (int i = 0; i < f.cmb_Device->count(); ++i)
      items << f.cmb_Device->itemText(i);
    enabled = f.CB_OnDevice->isEnabled();
    current = f.cmb_Device->currentText();
  });
  QVERIFY(enabled);
  // Both users' instruments; none for the rows without a usable number.
  QCOMPARE(QSet<QString>(items.begin(), items.end()), (QSet<QString>{"1203", "77", "-5", "55"}));
  QCOMPARE(items.size(), 4);
  QCOMPARE(current, items.first());
}

void TestFilter::deviceListUnavailableWithoutHistory() {
  Run run(false);
  run.form->CB_OnDevice->setChecked(true);
  bool ticked = true, boxEnabled = true, listEnabled = true;
  int count = -1;
  run.open([&](TFormFilter &f) {
    ticked = f.CB_OnDevice->isChecked();
    boxEnabled = f.CB_OnDevice->isEnabled();
    listEnabled = f.cmb_Device->isEnabled();
    count = f.cmb_Device->count();
  });
  QVERIFY(!ticked && !boxEnabled && !listEnabled);
  QCOMPARE(count, 0);

  // The same when the database cannot be read; a later opening with history
  // offers the list again.
  run.dm->SetLocation(run.folder.file("none/x.db"));
  run.open([&](TFormFilter &f) { boxEnabled = f.CB_OnDevice->isEnabled(); });
  QVERIFY(!boxEnabled);
  run.dm->SetLocation(run.folder.databasePath());
  QVERIFY(run.insert(Events().first()));
  run.open([&](TFormFilter &f) {
    boxEnabled = f.CB_OnDevice->isEnabled();
    count = f.cmb_Device->count();
  });
  QVERIFY(boxEnabled);
  QCOMPARE(count, 1);
}

void TestFilter::clearFormThenCancelKeepsFilter() {
  Run run;
  run.open([](TFormFilter &f) {
    CombinedExample(f);
    Press(f.SB_Apply);
  });
  const HistoryCriteria clause = run.form->Criteria;
  bool openAfterClear = false;
  QCOMPARE(run.open([&](TFormFilter &f) {
    Press(f.SB_ClearForm);
    openAfterClear = f.isVisible();
    Press(f.SB_Close);
  }),
           int(QDialog::Rejected));
  QVERIFY(openAfterClear);
  for (QCheckBox *b : run.form->findChildren<QCheckBox *>())
    QVERIFY2(!b->isChecked(), qPrintable(b->objectName()));
  QVERIFY(!run.form->TimeFrom->isEnabled());
  QVERIFY(run.form->Criteria == clause);
  QVERIFY(run.state.Filter.Interval);
  QCOMPARE(run.history(1), (Tags{1, 3, 4}));
}

void TestFilter::cancelAllFiltersEmptiesOutputsAndKeepsTicks() {
  Run run;
  run.open([](TFormFilter &f) {
    CombinedExample(f);
    Press(f.SB_Apply);
  });
  QCOMPARE(run.open([](TFormFilter &f) { Press(f.SB_CancelFilter); }), int(QDialog::Accepted));
  QVERIFY(run.form->Criteria.IsEmpty());
  QVERIFY(!run.state.Filter.Interval);
  QCOMPARE(run.history(1), AllOfUser1);
  for (QCheckBox *b : {run.form->CB_DateTime, run.form->CB_OnDevice, run.form->CB_Event,
                       run.form->CB_Alarm_Gamma, run.form->CB_RecHand, run.form->CB_Battary})
    QVERIFY2(b->isChecked(), qPrintable(b->objectName()));
}

void TestFilter::hiddenCancelSwitchClearsCriteriaForNextOpening() {
  Run run;
  run.open([](TFormFilter &f) {
    CombinedExample(f);
    Press(f.SB_Apply);
  });
  // The main window's "Cancel filtering".
  run.form->CB_CancelFilter->setChecked(true);
  bool anyTicked = true, anyEnabled = true, switchHidden = false;
  run.open([&](TFormFilter &f) {
    anyTicked = anyEnabled = false;
    for (QCheckBox *b : f.findChildren<QCheckBox *>())
      if (b != f.CB_CancelFilter)
        anyTicked |= b->isChecked();
    for (QWidget *w :
         std::initializer_list<QWidget *>{f.TimeFrom, f.DateFrom, f.TimeTo, f.DateTo,
                                          f.CB_Alarm_Gamma, f.CB_Battary, f.cmb_Device})
      anyEnabled |= w->isEnabled();
    switchHidden = !f.CB_CancelFilter->isVisible();
  });
  QVERIFY(!anyTicked);
  QVERIFY(!anyEnabled);
  QVERIFY(switchHidden);
  // Any criterion ticked again releases the switch.
  run.form->CB_Event->click();
  QVERIFY(!run.form->CB_CancelFilter->isChecked());
}

void TestFilter::enablingRulesFollowTheSwitches() {
  Run run;
  run.open([](TFormFilter &f) {
    QVERIFY(!f.CB_Alarm_Gamma->isEnabled() && !f.DateFrom->isEnabled() &&
            !f.cmb_Device->isEnabled());
    const std::pair<QCheckBox *, QList<QWidget *>> rules[] = {
        {f.CB_DateTime, {f.TimeFrom, f.DateFrom, f.TimeTo, f.DateTo}},
        {f.CB_OnDevice, {f.cmb_Device}},
        {f.CB_Event,
         {f.CB_Alarm_Gamma, f.CB_Alarm_Phosphorum, f.CB_Alarm_Arsenium, f.CB_OnOff, f.CB_RecHand,
          f.CB_TimeAlarm, f.CB_DEAlarm, f.CB_Battary}}};
    for (const auto &[box, controlled] : rules) {
      f.CB_CancelFilter->setChecked(true);
      box->click();
      QVERIFY2(!f.CB_CancelFilter->isChecked(), qPrintable(box->objectName()));
      for (QWidget *w : controlled)
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
      if (box == f.CB_Event)
        f.CB_Alarm_Gamma->click();
      box->click();
      for (QWidget *w : controlled)
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    }
    // An unticked "On event" keeps the boxes' ticks but they do not count.
    QVERIFY(f.CB_Alarm_Gamma->isChecked());
    Press(f.SB_Apply);
  });
  QVERIFY(run.form->Criteria.IsEmpty());
}

void TestFilter::choicesKeptBetweenOpenings() {
  Run run;
  const QDate from(2026, 1, 15);
  run.open([&](TFormFilter &f) {
    Tick(f.CB_Event);
    Tick(f.CB_TimeAlarm);
    Tick(f.CB_OnDevice);
    f.cmb_Device->setCurrentIndex(f.cmb_Device->count() - 1);
    f.DateFrom->setDate(from);
    Press(f.SB_Close);
  });
  bool kept = false;
  int index = -1;
  run.open([&](TFormFilter &f) {
    kept = f.CB_Event->isChecked() && f.CB_TimeAlarm->isChecked() && f.CB_TimeAlarm->isEnabled() &&
           f.CB_OnDevice->isChecked() && f.cmb_Device->isEnabled() && f.DateFrom->date() == from;
    index = f.cmb_Device->currentIndex();
  });
  QVERIFY(kept);
  // The instrument list is rebuilt with its first item chosen.
  QCOMPARE(index, 0);
}

void TestFilter::pickersStartAtLastWeek() {
  Run run;
  const TFormFilter &f = *run.form;
  QCOMPARE(f.DateTo->date(), QDate(2026, 3, 3));
  QCOMPARE(f.DateFrom->date(), QDate(2026, 2, 24));
  // Whole seconds, as the pickers show them.
  QCOMPARE(f.TimeTo->time(), QTime(12, 0, 0));
  QCOMPARE(f.TimeFrom->time(), QTime(12, 0, 0));
}

void TestFilter::textsOfCurrentLanguageAtEveryShowing() {
  Run run;
  QVERIFY(run.state.Texts.loadLanguageFile(run.folder.file("LangR.txt")));
  const TextTable &t = run.state.Texts;
  QVERIFY(t.at(116) != TextTable::defaultText(116));
  QStringList seen;
  const auto look = [&](TFormFilter &f) {
    seen = QStringList{f.windowTitle(),          f.CB_DateTime->text(),  f.CB_Event->text(),
                       f.CB_Alarm_Gamma->text(), f.CB_OnDevice->text(),  f.SB_Apply->text(),
                       f.SB_Close->text(),       f.L_ToDateTime->text(), f.LDateFormat->text(),
                       f.CB_Battary->toolTip(),  f.PanelEvent->toolTip()};
  };
  run.open(look);
  QCOMPARE(seen, (QStringList{t.at(116), t.at(107), t.at(117), t.at(13), t.at(126), t.at(128),
                              t.at(38), t.at(110), t.at(136), TextTable::shortHint(t.at(143)),
                              TextTable::shortHint(t.at(118))}));
  run.state.Texts.restoreDefaults();
  run.open(look);
  QCOMPARE(seen.first(), "Filtering history");
  QCOMPARE(seen[5], "Filter on");
}

void TestFilter::layoutFollowsTranslatedLabels() {
  Run run;
  for (const char *lang : {"LangE.txt", "LangR.txt", "LangES.txt"}) {
    QVERIFY(run.state.Texts.loadLanguageFile(run.folder.file(lang)));
    run.open([](TFormFilter &f) {
      QCOMPARE(f.L_FromDateTime->x(), 2);
      QCOMPARE(f.TimeFrom->x(), f.L_FromDateTime->geometry().right() + 1 + 5);
      QCOMPARE(f.DateFrom->x(), f.TimeFrom->geometry().right() + 1);
      QCOMPARE(f.L_ToDateTime->x(), f.DateFrom->geometry().right() + 1 + 15);
      QCOMPARE(f.TimeTo->x(), f.L_ToDateTime->geometry().right() + 1 + 3);
      QCOMPARE(f.DateTo->x(), f.TimeTo->geometry().right() + 1);
      QCOMPARE(f.LDateFormatTo->x(), f.DateTo->x() + 2);
      QCOMPARE(f.PanelDT->width(), f.DateTo->geometry().right() + 1 + 2 + 1 + 7);
      QVERIFY(f.width() >= 639 && f.height() >= 338);
      VerifyEverythingFits(&f);
      const QList<QPushButton *> buttons{f.SB_Apply, f.SB_CancelFilter, f.SB_ClearForm, f.SB_Close};
      for (int i = 1; i < buttons.size(); ++i)
        QVERIFY(buttons[i]->x() > buttons[i - 1]->geometry().right());
    });
  }
}

QTEST_MAIN(TestFilter)
#include "tst_filter.moc"
