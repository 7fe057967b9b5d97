// The delete-history window against real rows: every criterion, the rows of
// other people left alone, the instrument list, the offered interval and its
// limits, a person without events, and failures.
#include "DialogFixture.h"
#include "dialogs/FormDeleteHistory.h"
#include "history/DayCount.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace {

using Events = QList<double>; // event times of one user, sorted

// Person 1's events: instrument 100 and 200; the last one carries digits
// below the millisecond, as an imported row may.
const double E1 = 45000.25, E2 = 45001.5, E3 = 45002.75, E4 = 45003.125, E5 = 45004.1234563;

struct Window : DialogFixture<TFormDeleteHistory> {
  void fill() {
    QStringList rows{"INSERT INTO TableUser VALUES (1, 'Ab''cd', 'Ef', '', 100)",
                     "INSERT INTO TableUser VALUES (2, 'Other', 'Person', '', 200)",
                     "INSERT INTO TableUser VALUES (3, 'No', 'Events', '', -1)"};
    const QList<QPair<int, double>> first{{100, E1}, {100, E2}, {200, E3}, {200, E4}, {100, E5}};
    for (const auto &[device, t] : first)
      rows << QString("INSERT INTO TableHistory VALUES (%1, 1, %2, 1, 0.001, 0.002)")
                  .arg(device)
                  .arg(t, 0, 'g', 17);
    // Person 2 shares the instruments and the interval; a few rows with
    // numbers that are no instrument.
    rows << "INSERT INTO TableHistory VALUES (100, 2, 45001.5, 1, NULL, NULL)"
         << "INSERT INTO TableHistory VALUES (200, 2, 45002.75, 4, 1.0, NULL)"
         << "INSERT INTO TableHistory VALUES (300, 2, 45003.0, 5, NULL, NULL)"
         << "INSERT INTO TableHistory VALUES (0, 2, 45003.0, 9, -1.0, 0)"
         << "INSERT INTO TableHistory VALUES (-5, 2, 45003.0, 9, -1.0, 0)"
         << "INSERT INTO TableHistory VALUES (NULL, 2, NULL, 9, -1.0, 0)";
    exec(rows);
  }

  Events events(int user) {
    Events times;
    for (const QVariantList &r : select(QString("SELECT DateTimeEvent FROM TableHistory "
                                                "WHERE UserId = %1 ORDER BY DateTimeEvent")
                                            .arg(user)))
      times << r[0].toDouble();
    return times;
  }

  void open(int user) {
    form.hide();
    form.UserKey = user;
    form.show();
  }
  // Presses Delete; true when the window closed with OK.
  bool remove() {
    form.setResult(-1);
    QTest::mouseClick(form.SB_Delete, Qt::LeftButton);
    return !form.isVisible() && form.result() == QDialog::Accepted;
  }
  static void setPickers(QDateTimeEdit *date, QDateTimeEdit *time, double days) {
    const QDateTime t = DayCountToDateTime(days);
    date->setDate(t.date());
    time->setTime(t.time());
  }
  // How many of the date criterion's seven controls are shown.
  int dateCriterionShown() const {
    int shown = 0;
    const QList<QWidget *> parts{form.CB_DateTime, form.L_FromDateTime, form.TimeFrom,
                                 form.DateFrom,    form.L_ToDateTime,   form.TimeTo,
                                 form.DateTo};
    for (QWidget *w : parts)
      shown += w->isVisibleTo(form.PanelPart) ? 1 : 0;
    return shown;
  }
};

QStringList items(const QComboBox *box) {
  QStringList out;
  for (int i = 0; i < box->count(); ++i)
    out << box->itemText(i);
  return out;
}

} // namespace

Q_DECLARE_METATYPE(Events)

class TestDeleteHistory : public QObject {
  Q_OBJECT
private slots:
  void deletesByCriterion_data();
  void deletesByCriterion();
  void partWithoutCriterionIsRefused();
  void offeredIntervalAndPickerLimits();
  void instrumentList();
  void personWithoutEvents();
  void unreachableDatabase();
  void choiceAndTextsBetweenOpenings();
};

void TestDeleteHistory::deletesByCriterion_data() {
  QTest::addColumn<bool>("part");
  QTest::addColumn<QString>("device"); // empty: not ticked
  QTest::addColumn<double>("from");    // 0: not ticked; -1: as offered
  QTest::addColumn<double>("to");
  QTest::addColumn<Events>("left");
  QTest::newRow("all history") << false << "" << 0.0 << 0.0 << Events{};
  QTest::newRow("all history, stale ticks in the hidden panel")
      << false << "200" << E2 << E3 << Events{};
  QTest::newRow("instrument") << true << "200" << 0.0 << 0.0 << Events{E1, E2, E5};
  QTest::newRow("interval, both ends included") << true << "" << E2 << E4 << Events{E1, E5};
  QTest::newRow("interval given backwards") << true << "" << E4 << E2 << Events{E1, E5};
  QTest::newRow("instrument and interval") << true << "100" << E1 << E4 << Events{E3, E4, E5};
  QTest::newRow("interval as offered") << true << "" << -1.0 << -1.0 << Events{};
  QTest::newRow("instrument as offered, interval as offered")
      << true << "100" << -1.0 << -1.0 << Events{E3, E4};
}

void TestDeleteHistory::deletesByCriterion() {
  QFETCH(bool, part);
  QFETCH(QString, device);
  QFETCH(double, from);
  QFETCH(double, to);
  QFETCH(Events, left);
  Window w;
  w.fill();
  const Events others = w.events(2);
  w.open(1);
  QCOMPARE(w.dateCriterionShown(), 7);
  (part ? w.form.RB_PartHistory : w.form.RB_All)->click();
  QCOMPARE(w.form.PanelPart->isVisible(), part);
  w.form.CB_Device->setChecked(!device.isEmpty());
  if (!device.isEmpty())
    w.form.cmb_Device->setCurrentIndex(w.form.cmb_Device->findText(device));
  w.form.CB_DateTime->setChecked(from != 0);
  if (from > 0) {
    Window::setPickers(w.form.DateFrom, w.form.TimeFrom, from);
    Window::setPickers(w.form.DateTo, w.form.TimeTo, to);
  }
  QVERIFY2(w.remove(), qPrintable(w.dm.LastError()));
  // One question first, naming the person (answered yes by the double).
  QCOMPARE(w.messages.shown.size(), std::size_t(1));
  QCOMPARE(w.messages.shown[0].kind, OperatorMessages::Question);
  QCOMPARE(w.events(1), left);
  QCOMPARE(w.events(2), others);
}

void TestDeleteHistory::partWithoutCriterionIsRefused() {
  Window w;
  w.fill();
  w.open(1);
  w.form.RB_PartHistory->click();
  w.form.CB_Device->setChecked(false);
  w.form.CB_DateTime->setChecked(false);
  QVERIFY(!w.remove());
  QVERIFY(w.form.isVisible());
  QCOMPARE(w.messages.shown.size(), std::size_t(1));
  QCOMPARE(w.messages.shown.front().kind, OperatorMessages::Notice);
  QCOMPARE(w.messages.shown.front().text, w.state.Texts.at(115));
  QCOMPARE(w.events(1).size(), 5);
}

void TestDeleteHistory::offeredIntervalAndPickerLimits() {
  Window w;
  w.fill();
  w.open(1);
  const QDateTime first = DayCountToDateTime(E1), last = DayCountToDateTime(E5);
  QCOMPARE(QDateTime(w.form.DateFrom->date(), w.form.TimeFrom->time()), first);
  QCOMPARE(QDateTime(w.form.DateTo->date(), w.form.TimeTo->time()).toSecsSinceEpoch(),
           last.toSecsSinceEpoch());
  for (QDateTimeEdit *p : {w.form.DateFrom, w.form.DateTo}) {
    QCOMPARE(p->minimumDate(), first.date().addDays(-1));
    QCOMPARE(p->maximumDate(), last.date().addDays(1));
  }
  // Below the minimum a date picker jumps back to it, above the maximum to that.
  w.form.DateFrom->setDate(first.date().addDays(-30));
  QCOMPARE(w.form.DateFrom->date(), first.date().addDays(-1));
  w.form.DateTo->setDate(last.date().addDays(10));
  QCOMPARE(w.form.DateTo->date(), last.date().addDays(1));
  double begin = 0, end = 0;
  w.form.Interval(begin, end);
  QCOMPARE(begin, E1 - 1);
  QCOMPARE(end, DayCountOf(last.date().addDays(1), w.form.TimeTo->time()));

  // The next opening sets values and limits afresh, here for person 2.
  w.open(2);
  QCOMPARE(w.form.DateFrom->date(), DayCountToDateTime(45001.5).date());
  QCOMPARE(w.form.DateTo->minimumDate(), DayCountToDateTime(45001.5).date().addDays(-1));
  QCOMPARE(w.form.DateTo->date(), DayCountToDateTime(45003.0).date());
}

void TestDeleteHistory::instrumentList() {
  Window w;
  w.fill();
  w.form.CB_Device->setChecked(true);
  w.open(3);
  // Every instrument above 0 of the whole table, the first one selected.
  QStringList listed = items(w.form.cmb_Device);
  listed.sort();
  QCOMPARE(listed, QStringList({"100", "200", "300"}));
  QCOMPARE(w.form.cmb_Device->currentIndex(), 0);
  QVERIFY(w.form.CB_Device->isVisibleTo(w.form.PanelPart));
  QVERIFY(w.form.CB_Device->isChecked());

  // No instrument left at all: the criterion is unticked and hidden.
  w.exec({"DELETE FROM TableHistory WHERE DeviceId > 0"});
  w.open(3);
  QVERIFY(!w.form.CB_Device->isChecked());
  QVERIFY(!w.form.CB_Device->isVisibleTo(w.form.PanelPart));
  QVERIFY(!w.form.cmb_Device->isVisibleTo(w.form.PanelPart));
}

// The first/last-event query answers empty values for a person without
// events: the date criterion is hidden and unticked instead of offering an
// interval made of nothing.
void TestDeleteHistory::personWithoutEvents() {
  Window w;
  w.fill();
  w.open(1);
  w.form.RB_PartHistory->click();
  w.form.CB_DateTime->setChecked(true);
  w.form.CB_Device->setChecked(false);
  w.open(3);
  QVERIFY(w.form.RB_PartHistory->isChecked());
  QVERIFY(w.form.PanelPart->isVisible());
  QVERIFY(!w.form.CB_DateTime->isChecked());
  QCOMPARE(w.dateCriterionShown(), 0);
  // Without a criterion the part deletion is refused; all of nothing is fine.
  QVERIFY(!w.remove());
  QCOMPARE(w.messages.shown.size(), std::size_t(1));
  w.form.RB_All->click();
  QVERIFY(w.remove());
  QCOMPARE(w.events(1).size(), 5);
  QCOMPARE(w.events(2).size(), 6);

  // Person 1 again: the criterion comes back.
  w.open(1);
  QCOMPARE(w.dateCriterionShown(), 7);
}

void TestDeleteHistory::unreachableDatabase() {
  Window w;
  w.fill();
  w.open(1);
  w.form.RB_All->click();
  // The database goes away while the window is open: Cancel, and the
  // operator is told that nothing was deleted.
  w.makeDatabaseUnreachable();
  QVERIFY(!w.remove());
  QVERIFY(!w.form.isVisible());
  QCOMPARE(w.form.result(), int(QDialog::Rejected));
  QCOMPARE(w.messages.texts(), QStringList{w.state.Texts.text(ProgramText::HistoryNotDeleted)});
  QCOMPARE(w.form.cursor().shape(), Qt::ArrowCursor);
  w.makeDatabaseReachable();
  QCOMPARE(w.events(1).size(), 5);

  // Unreachable at opening: both criteria are hidden for this opening.
  w.makeDatabaseUnreachable();
  w.form.RB_PartHistory->click();
  w.open(1);
  QCOMPARE(w.dateCriterionShown(), 0);
  QVERIFY(!w.form.CB_Device->isVisibleTo(w.form.PanelPart));
  QVERIFY(!w.form.CB_Device->isChecked() && !w.form.CB_DateTime->isChecked());
}

void TestDeleteHistory::choiceAndTextsBetweenOpenings() {
  Window w;
  w.fill();
  w.form.L_SecFirstName->setText("Ab'cd Ef");
  w.open(1);
  QVERIFY(w.form.RB_All->isChecked());
  QVERIFY(!w.form.PanelPart->isVisible());
  QCOMPARE(w.form.windowTitle(), w.state.Texts.at(114));
  QCOMPARE(w.form.SB_Cancel->toolTip(), w.state.Texts.at(99));
  w.form.RB_PartHistory->click();
  QVERIFY(w.form.PanelPart->isVisible());
  w.form.CB_Device->setChecked(true);
  QTest::mouseClick(w.form.SB_Cancel, Qt::LeftButton);
  QCOMPARE(w.form.result(), int(QDialog::Rejected));
  QCOMPARE(w.events(1).size(), 5);

  // A new language reaches the window at its next opening; the choice stays.
  w.state.Texts.set(114, QStringLiteral("Удаление истории"));
  w.state.Texts.set(103, QStringLiteral("Часть истории, выбранная по условиям ниже"));
  w.open(1);
  QCOMPARE(w.form.windowTitle(), QStringLiteral("Удаление истории"));
  QCOMPARE(w.form.RB_PartHistory->text(), w.state.Texts.at(103));
  QVERIFY(w.form.RB_PartHistory->isChecked() && w.form.PanelPart->isVisible());
  QVERIFY(w.form.CB_Device->isChecked());
  QCOMPARE(w.form.L_SecFirstName->text(), QString("Ab'cd Ef"));
}

QTEST_MAIN(TestDeleteHistory)
#include "tst_deletehistory.moc"
