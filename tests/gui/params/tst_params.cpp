// The parameters window offscreen: showing a record read from an instrument,
// collecting it back byte for byte, the unit switch, bad input in every edit,
// the confirmations before writing and the read and write exchanges.
#include "ProgramFolder.h"
#include "QueuedFileDialogs.h"
#include "RecordingMessages.h"
#include "common/AppContext.h"
#include "common/FileDialogs.h"
#include "common/OperatorMessages.h"
#include "exchanges/FormParams.h"
#include "exchanges/FormRead.h"
#include "history/DayCount.h"
#include "link/InstrumentProtocol.h"
#include "link/ParameterBlock.h"
#include "main/Program.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTimer>
#include <QtTest>
#include <array>
#include <cstring>
#include <limits>

namespace {

using PReply = std::array<std::uint8_t, 34>;

// A P reply with every byte distinct, so that a byte moved or lost shows.
PReply ParamReply(float der, float de, std::uint16_t delay, std::uint8_t flags,
                  std::uint16_t interval, std::uint8_t brightness, std::uint8_t byte31) {
  PReply p;
  for (std::size_t i = 0; i < p.size(); ++i)
    p[i] = std::uint8_t(0x60 + i);
  p[0] = FrameStart;
  p[1] = 33;
  p[2] = 'P';
  p[3] = 1;
  std::memcpy(&p[4], &der, 4);
  std::memcpy(&p[8], &delay, 2);
  std::memcpy(&p[16], &interval, 2);
  p[18] = flags;
  std::memcpy(&p[24], &de, 4);
  p[31] = byte31;
  p[32] = brightness;
  p[33] = FrameChecksum(p.data(), 33);
  return p;
}

// The S frame that writes back exactly what a P reply holds.
std::array<std::uint8_t, 27> UnchangedWriteFrame(const PReply &p) {
  std::array<std::uint8_t, 27> s{0x55, 0x1A, 0x53, 0x01};
  std::memcpy(&s[4], &p[4], 10);  // DER threshold, delay, P 10..13
  std::memcpy(&s[14], &p[16], 4); // interval, flags, P 19
  std::memcpy(&s[18], &p[24], 4); // DE threshold
  s[22] = p[30];
  s[23] = p[31];
  s[24] = s[25] = p[32];
  s[26] = FrameChecksum(s.data(), 26);
  return s;
}

std::array<std::uint8_t, 27> WriteFrame(const PReply &p, const DEVICE_PARAMS &record) {
  std::array<std::uint8_t, 27> s{};
  BuildParameterWriteFrame(p.data(), record, s.data());
  return s;
}

// Records whether each question offered OK and Cancel instead of Yes and No.
struct Messages : RecordingMessages {
  std::vector<bool> okCancel;
  bool question(QWidget *parent, const QString &text, bool oc = false) override {
    okCancel.push_back(oc);
    return RecordingMessages::question(parent, text, oc);
  }
};

struct Run {
  ProgramFolder folder{false};
  AppState state;
  Messages messages;
  QueuedFileDialogs files;
  AppContext ctx{state, messages, files, QString()};
  std::unique_ptr<ProgramWindows> windows;
  std::vector<int> modes; // exchanges run, in order
  bool exchangeOk = true; // how the exchange window closes
  DEVICE_PARAMS readBack; // what mode 3 and 4 leave in LastReadParams
  DEVICE_PARAMS written;  // ParamsToWrite when mode 4 ran

  Run() {
    ctx.executableFolder = folder.path();
    state.clock = std::make_shared<SettableClock>(QDateTime(QDate(2026, 5, 4), QTime(10, 20, 30)));
    windows = CreateProgramWindows(ctx);
    form().RunExchange = [this](int mode) {
      modes.push_back(mode);
      if (mode == TFormParams::ModeWriteParameters)
        written = state.ParamsToWrite;
      if (exchangeOk)
        state.LastReadParams = readBack;
      return exchangeOk;
    };
    form().ApplyTexts();
    form().show();
  }
  TFormParams &form() { return *ctx.FormParams; }
  template <typename W> W *get(const char *name) {
    W *w = form().findChild<W *>(QLatin1String(name));
    if (!w)
      qWarning("no control %s", name);
    return w;
  }
  QLineEdit *edit(const char *name) { return get<QLineEdit>(name); }
  QString text(const char *name) { return edit(name)->text(); }
  // The read button with `params` coming from the instrument.
  void read(const DEVICE_PARAMS &params) {
    readBack = params;
    form().SB_Read->click();
  }
  void read(const PReply &p) {
    DEVICE_PARAMS params;
    params.DeviceId = 4418001;
    QVERIFY(DecodeParameterReply(p.data(), 34, params));
    params.ActivationTime = DayCountOf(QDate(2024, 2, 29), QTime(23, 59, 58));
    read(params);
  }
  void typeInto(QWidget *w, const QString &keys) { QTest::keyClicks(w, keys); }
  void leave(QLineEdit *e) { QTest::keyClick(e, Qt::Key_Return); }
};

// Sound on, loud, button beep, display off, unit Sievert, bits 1, 2 and 6.
constexpr std::uint8_t AllFlags = 0xFF;

} // namespace

class TestParams : public QObject {
  Q_OBJECT
private slots:
  void init() { QLocale::setDefault(QLocale::c()); }
  void cleanup() { QLocale::setDefault(QLocale::c()); }

  void controlsAndTexts();
  void reopenedShowsTheLastReadingOrNothing();
  void thresholdsAreTypedAsTheyRead();
  void recordRefusesAnUnfitFieldByName();
  void readShowsEveryControl();
  void roentgenDisplayOfThresholds();
  void unchangedRecordGoesBackByteExact();
  void editsGoIntoTheRecord();
  void unitSwitchRecomposesLabelsAndConverts();
  void badThresholdEdits();
  void badIntervalAndDelayEdits();
  void writeRefusesWhatCannotBeRead();
  void confirmationsBeforeWriting();
  void failedExchangeChangesNothing();
  void soundAndEnergySavingShowTheirOptions();
  void brightnessPreview();
  void defaultExchangeRunsTheExchangeWindow();
};

void TestParams::controlsAndTexts() {
  Run run;
  for (const char *name : {"SB_Read",
                           "SB_Write",
                           "SB_Close",
                           "PageControlParams",
                           "tsGeneral",
                           "tsMeasurements",
                           "tsOthers",
                           "L_num",
                           "Ed_history_interval",
                           "Ed_TimeActive",
                           "Ed_DateActive",
                           "CB_Sync",
                           "L_TimePC",
                           "CB_ClearHist",
                           "CB_Sound",
                           "rbLoudly",
                           "rbSilent",
                           "CB_ButtonSound",
                           "cbCalendar",
                           "rgpUnitOfMeasurements",
                           "Ed_ThresholdDER",
                           "Ed_ThresholdDE",
                           "L_ThresholdDER",
                           "L_ThresholdDE",
                           "TrBarBrightness",
                           "ShapeColor",
                           "L_min",
                           "L_max",
                           "cbTimeIndicationControl",
                           "cmb_TimeIndication",
                           "L_TimeIndication"})
    QVERIFY2(run.form().findChild<QWidget *>(QLatin1String(name)), name);
  for (const char *hidden : {"Ed_Threshold_Gamma", "L_Threshold_Gamma", "cbRadiationChannel",
                             "cbChemicalChannel", "L_Gamma", "L_Chemistry", "GB_ModeJob"})
    QVERIFY2(run.get<QWidget>(hidden)->isHidden(), hidden);

  auto *tabs = run.get<QTabWidget>("PageControlParams");
  QCOMPARE(tabs->count(), 3);
  QCOMPARE(tabs->tabText(0), "General");
  QCOMPARE(tabs->tabText(2), "Others");
  QCOMPARE(run.form().windowTitle(), "Device's settings");
  QCOMPARE(run.get<QPushButton>("SB_Write")->text(), "Record");
  QCOMPARE(run.get<QPushButton>("SB_Close")->toolTip(), "Close window of device settings");
  QCOMPARE(run.get<QLabel>("L_ThresholdDER")->text(), "DER, mSv/h");
  QCOMPARE(run.get<QLabel>("L_ThresholdDE")->text(), "DE, mSv");
  QCOMPARE(run.get<QLabel>("L_num")->text(), "Device №");
  QCOMPARE(run.get<QComboBox>("cmb_TimeIndication")->count(), 6);
  QCOMPARE(run.get<QComboBox>("cmb_TimeIndication")->itemText(5), "30");

  // Another language, with a hint of two parts.
  run.state.Texts.set(195, "Настройки прибора");
  run.state.Texts.set(204, "Интервал|Интервал записи событий, мин");
  run.state.Texts.set(223, "Измерение");
  run.state.Texts.set(243, "МАД");
  run.state.Texts.set(248, "мР/ч");
  run.form().SetUnitItem(1);
  run.form().ApplyTexts();
  QCOMPARE(run.form().windowTitle(), "Настройки прибора");
  QCOMPARE(run.edit("Ed_history_interval")->toolTip(), "Интервал");
  QCOMPARE(run.edit("Ed_history_interval")->statusTip(), "Интервал записи событий, мин");
  QCOMPARE(tabs->tabText(1), "Измерение");
  // The labels follow the unit chosen when the texts are applied.
  QCOMPARE(run.get<QLabel>("L_ThresholdDER")->text(), "МАД, мР/ч");
  QCOMPARE(run.get<QLabel>("L_Threshold_Gamma")->text(), "МАД, мР/ч");
  QCOMPARE(run.get<QLabel>("L_ThresholdDE")->text(), "DE, mR");
}

void TestParams::reopenedShowsTheLastReadingOrNothing() {
  Run run;
  // Nothing read yet: every field is empty, the unit Sievert.
  QVERIFY(run.text("Ed_ThresholdDER").isEmpty());
  QVERIFY(run.text("Ed_history_interval").isEmpty());
  QCOMPARE(run.form().UnitItem(), 0);
  QCOMPARE(run.get<QLabel>("L_num")->text(), "Device №");
  run.read(ParamReply(0.0025f, 0.5f, 25, AllFlags & ~FlagUnitSievert, 60, 9, 0));
  const QString der = run.text("Ed_ThresholdDER");
  // Edits of this showing that were never written...
  run.edit("Ed_ThresholdDER")->setText("7");
  run.edit("Ed_history_interval")->setText("5");
  run.get<QCheckBox>("CB_ClearHist")->setChecked(true);
  run.get<QTabWidget>("PageControlParams")->setCurrentIndex(2);
  run.form().hide();
  run.form().show();
  // ...are gone: the window shows what the instrument said, all of it.
  QCOMPARE(run.text("Ed_ThresholdDER"), der);
  QCOMPARE(run.text("Ed_history_interval"), "60");
  QCOMPARE(run.form().UnitItem(), 1);
  QCOMPARE(run.get<QLabel>("L_ThresholdDE")->text(), "DE, mR");
  QVERIFY(!run.get<QCheckBox>("CB_ClearHist")->isChecked());
  QCOMPARE(run.get<QLabel>("L_num")->text(), "Device № 4418001");
  QCOMPARE(run.get<QTabWidget>("PageControlParams")->currentWidget(), run.form().tsGeneral);
  // The pickers started at the clock's time.
  Run fresh;
  QCOMPARE(fresh.get<QDateEdit>("Ed_DateActive")->date(), QDate(2026, 5, 4));
  QCOMPARE(fresh.get<QTimeEdit>("Ed_TimeActive")->time(), QTime(10, 20, 30));
}

void TestParams::thresholdsAreTypedAsTheyRead() {
  for (const char *locale : {"C", "ru_RU"}) {
    QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
    const QChar point = QLocale().decimalPoint()[0];
    Run run;
    run.read(ParamReply(0.0025f, 0.5f, 25, AllFlags, 60, 9, 0));
    QLineEdit *der = run.edit("Ed_ThresholdDER");
    // Select what the edit shows and type over it; either separator key
    // types the one of the regional settings.
    for (const char *keys : {"0.020", "0,020"}) {
      der->setFocus();
      der->selectAll();
      QTest::keyClicks(der, keys);
      QCOMPARE(der->text(), QString("0") + point + "020");
      run.leave(der);
      QCOMPARE(der->text(), QString("0") + point + "020");
    }
    run.form().SB_Write->click();
    QCOMPARE(run.messages.texts(), QStringList{run.state.Texts.at(232)}); // written
    QCOMPARE(run.written.DerThreshold, 0.000020f);
    QVERIFY(run.written.DoWriteParams);
  }
}

void TestParams::recordRefusesAnUnfitFieldByName() {
  Run run;
  run.read(ParamReply(0.0025f, 0.5f, 25, AllFlags, 60, 9, 0));
  run.get<QTabWidget>("PageControlParams")->setCurrentWidget(run.form().tsOthers);
  QLineEdit *interval = run.edit("Ed_history_interval");
  interval->selectAll();
  QTest::keyClicks(interval, "0");
  run.leave(interval);
  QCOMPARE(interval->text(), "0"); // never changed behind the operator's back
  run.form().SB_Write->click();
  QCOMPARE(run.messages.texts(),
           QStringList{"Interval of record events in a history, min: the instrument takes "
                       "values from 1 to 2400 only"});
  QCOMPARE(run.messages.shown.front().kind, OperatorMessages::Error);
  QCOMPARE(run.get<QTabWidget>("PageControlParams")->currentWidget(), run.form().tsGeneral);
  QCOMPARE(run.modes.size(), std::size_t(1)); // only the read
  // A threshold below what the instrument takes brings its page forward.
  run.messages.shown.clear();
  interval->setText("60");
  run.edit("Ed_ThresholdDE")->setText("0.0001");
  run.form().SB_Write->click();
  QCOMPARE(run.messages.texts(),
           QStringList{"DE, mSv: the instrument takes values from 0.001 to 10000 only"});
  QCOMPARE(run.get<QTabWidget>("PageControlParams")->currentWidget(), run.form().tsMeasurements);
  QCOMPARE(run.modes.size(), std::size_t(1));
}

void TestParams::readShowsEveryControl() {
  Run run;
  run.read(
      ParamReply(0.0025f, 0.5f, 12, FlagSoundOn | FlagDisplayOff | FlagUnitSievert, 240, 3, 0x01));
  QCOMPARE(run.modes, std::vector<int>{TFormParams::ModeReadInfo});
  QCOMPARE(run.get<QLabel>("L_num")->text(), "Device № 4418001");
  QCOMPARE(run.text("Ed_history_interval"), "240");
  QVERIFY(run.get<QCheckBox>("CB_Sound")->isChecked());
  QVERIFY(!run.get<QRadioButton>("rbLoudly")->isChecked());
  QVERIFY(run.get<QRadioButton>("rbSilent")->isChecked());
  QVERIFY(!run.get<QCheckBox>("CB_ButtonSound")->isChecked());
  QVERIFY(run.get<QCheckBox>("cbTimeIndicationControl")->isChecked());
  QVERIFY(run.get<QCheckBox>("cbCalendar")->isChecked());
  auto *delay = run.get<QComboBox>("cmb_TimeIndication");
  QCOMPARE(delay->currentText(), "12");
  QCOMPARE(delay->currentIndex(), 1);
  QCOMPARE(run.get<QSlider>("TrBarBrightness")->value(), 5); // 3 is lifted to 5
  QCOMPARE(run.form().UnitItem(), 0);
  QCOMPARE(run.text("Ed_ThresholdDER"), "2.500");
  QCOMPARE(run.text("Ed_ThresholdDE"), "500.000");
  QCOMPARE(run.get<QDateEdit>("Ed_DateActive")->date(), QDate(2024, 2, 29));
  QCOMPARE(run.get<QTimeEdit>("Ed_TimeActive")->time(), QTime(23, 59, 58));

  // Everything else from another instrument.
  run.read(ParamReply(0.01f, 1.0f, 45, FlagLoud | FlagButtonBeep | FlagUnitSievert, 1, 20, 0));
  QVERIFY(!run.get<QCheckBox>("CB_Sound")->isChecked());
  QVERIFY(run.get<QRadioButton>("rbLoudly")->isChecked());
  QVERIFY(run.get<QCheckBox>("CB_ButtonSound")->isChecked());
  QVERIFY(!run.get<QCheckBox>("cbTimeIndicationControl")->isChecked());
  QVERIFY(!run.get<QCheckBox>("cbCalendar")->isChecked());
  QCOMPARE(delay->currentText(), "45");
  QCOMPARE(delay->currentIndex(), 5);
  QCOMPARE(run.get<QSlider>("TrBarBrightness")->value(), 15);
  QCOMPARE(run.text("Ed_ThresholdDER"), "10.000");
  QCOMPARE(run.text("Ed_ThresholdDE"), "1000.000");
}

void TestParams::roentgenDisplayOfThresholds() {
  Run run;
  run.read(ParamReply(0.0001f, 0.02f, 10, FlagSoundOn, 60, 9, 0));
  QCOMPARE(run.form().UnitItem(), 1);
  QCOMPARE(run.form().UnitTag(), 1);
  QVERIFY(run.get<QRadioButton>("rbUnitRoentgen")->isChecked());
  QCOMPARE(run.text("Ed_ThresholdDER"), "10.000");  // mR/h
  QCOMPARE(run.text("Ed_ThresholdDE"), "2000.000"); // mR
  QCOMPARE(run.get<QLabel>("L_ThresholdDER")->text(), "DER, mR/h");
  QCOMPARE(run.get<QLabel>("L_ThresholdDE")->text(), "DE, mR");

  // In a comma locale the same values carry commas.
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  run.read(ParamReply(0.0001f, 0.02f, 10, FlagSoundOn, 60, 9, 0));
  QCOMPARE(run.text("Ed_ThresholdDER"), "10,000");

  // Reading a Sievert instrument next brings the labels back.
  run.read(ParamReply(0.0001f, 0.02f, 10, FlagUnitSievert, 60, 9, 0));
  QCOMPARE(run.text("Ed_ThresholdDER"), "0,100");
  QCOMPARE(run.get<QLabel>("L_ThresholdDER")->text(), "DER, mSv/h");
}

void TestParams::unchangedRecordGoesBackByteExact() {
  for (std::uint8_t flags : {std::uint8_t(0xFF), std::uint8_t(0x46), std::uint8_t(0x19)}) {
    Run run;
    const PReply p = ParamReply(0.0025f, 0.5f, 25, flags, 60, 9, 0xA5);
    run.read(p);
    run.form().SB_Write->click();
    QCOMPARE(run.modes.back(), TFormParams::ModeWriteParameters);
    QVERIFY(run.written.DoWriteParams);
    QVERIFY(!run.written.DoClearHistory && !run.written.DoSetActivationTime);
    QCOMPARE(WriteFrame(p, run.written), UnchangedWriteFrame(p));
    QCOMPARE(run.messages.texts(),
             QStringList{"The parameters were successfully recorded into device"});
  }
}

void TestParams::editsGoIntoTheRecord() {
  Run run;
  const PReply p = ParamReply(0.0025f, 0.5f, 25,
                              0x46 | FlagSoundOn | FlagDisplayOff | FlagUnitSievert, 60, 9, 0xA4);
  run.read(p);
  run.edit("Ed_ThresholdDER")->clear();
  run.typeInto(run.edit("Ed_ThresholdDER"), "7,5"); // a typed comma is the locale's point
  QCOMPARE(run.text("Ed_ThresholdDER"), "7.5");
  run.edit("Ed_ThresholdDE")->clear();
  run.typeInto(run.edit("Ed_ThresholdDE"), "1e3");
  run.edit("Ed_history_interval")->clear();
  run.typeInto(run.edit("Ed_history_interval"), "15");
  auto *delay = run.get<QComboBox>("cmb_TimeIndication");
  delay->setCurrentIndex(3);
  run.get<QRadioButton>("rbLoudly")->setChecked(true);
  run.get<QCheckBox>("CB_ButtonSound")->setChecked(true);
  run.get<QCheckBox>("cbCalendar")->setChecked(true);
  run.get<QSlider>("TrBarBrightness")->setValue(14);
  run.get<QCheckBox>("CB_Sync")->setChecked(true);
  run.form().SB_Write->click();
  QCOMPARE(run.modes.back(), TFormParams::ModeWriteParameters);

  const DEVICE_PARAMS &w = run.written;
  QCOMPARE(w.DerThreshold, 0.0075f);
  QCOMPARE(w.DeThreshold, 1.0f);
  QCOMPARE(w.HistoryInterval, 15);
  QCOMPARE(w.DisplayOffDelay, 20);
  QVERIFY(w.SoundOn && w.Loud && w.ButtonBeep && w.DisplayOffEnabled && w.UnitSievert);
  QVERIFY(w.ClockCalendar && w.DoWriteParams && w.DoSetActivationTime && !w.DoClearHistory);
  QCOMPARE(w.Brightness, 14);

  // In the frame only the edited values differ from what was read.
  auto expected = UnchangedWriteFrame(p);
  const float der = 0.0075f, de = 1.0f;
  const std::uint16_t interval = 15, seconds = 20;
  std::memcpy(&expected[4], &der, 4);
  std::memcpy(&expected[8], &seconds, 2);
  std::memcpy(&expected[14], &interval, 2);
  expected[16] = 0x46 | FlagSoundOn | FlagDisplayOff | FlagUnitSievert | FlagLoud | FlagButtonBeep;
  std::memcpy(&expected[18], &de, 4);
  expected[23] = 0xA5;
  expected[24] = expected[25] = 14;
  expected[26] = FrameChecksum(expected.data(), 26);
  QCOMPARE(WriteFrame(p, w), expected);

  // In Roentgen the typed mR go into the record in Sv.
  run.form().SetUnitItem(1);
  run.edit("Ed_ThresholdDER")->setText("10");
  run.edit("Ed_ThresholdDE")->setText("250");
  run.form().SB_Write->click();
  QVERIFY(!run.written.UnitSievert);
  QCOMPARE(run.written.DerThreshold, 0.0001f);
  QCOMPARE(run.written.DeThreshold, 0.0025f);
}

void TestParams::unitSwitchRecomposesLabelsAndConverts() {
  Run run;
  run.read(ParamReply(0.0025f, 0.012f, 25, FlagUnitSievert, 60, 9, 0));
  QCOMPARE(run.text("Ed_ThresholdDE"), "12.000");
  run.get<QRadioButton>("rbUnitRoentgen")->click();
  QCOMPARE(run.form().UnitTag(), 1);
  QCOMPARE(run.get<QLabel>("L_ThresholdDER")->text(), "DER, mR/h");
  QCOMPARE(run.get<QLabel>("L_ThresholdDE")->text(), "DE, mR");
  QCOMPARE(run.text("Ed_ThresholdDER"), "250.000");
  QCOMPARE(run.text("Ed_ThresholdDE"), "1200.000");
  run.get<QRadioButton>("rbUnitRoentgen")->click(); // already selected: nothing converts
  QCOMPARE(run.text("Ed_ThresholdDER"), "250.000");
  run.get<QRadioButton>("rbUnitSievert")->click();
  QCOMPARE(run.get<QLabel>("L_ThresholdDER")->text(), "DER, mSv/h");
  QCOMPARE(run.text("Ed_ThresholdDER"), "2.500");
  QCOMPARE(run.text("Ed_ThresholdDE"), "12.000");

  // The lower limit converts to the lower limit and back.
  run.edit("Ed_ThresholdDER")->setText("0.001");
  run.get<QRadioButton>("rbUnitRoentgen")->click();
  QCOMPARE(run.text("Ed_ThresholdDER"), "0.100");
  run.get<QRadioButton>("rbUnitSievert")->click();
  QCOMPARE(run.text("Ed_ThresholdDER"), "0.001000");
}

void TestParams::badThresholdEdits() {
  Run run;
  QLineEdit *der = run.edit("Ed_ThresholdDER");
  // Letters other than e and E never reach the edit.
  run.typeInto(der, "abc5xyz");
  QCOMPARE(der->text(), "5");
  der->clear();
  // Unreadable text (pasted, or typed e first) is cleared; the start of a
  // number waits for the rest.
  der->setText("abc");
  QCOMPARE(der->text(), "");
  run.typeInto(der, "e");
  QCOMPARE(der->text(), "");
  run.typeInto(der, "2e-");
  QCOMPARE(der->text(), "2e-");
  run.leave(der);
  QCOMPARE(der->text(), "");
  run.typeInto(der, "2e-1");
  QCOMPARE(der->text(), "2e-1");
  der->clear();
  der->setText("1.2.3");
  QCOMPARE(der->text(), "");
  der->setText("1,2,3");
  QCOMPARE(der->text(), "");
  // Numbers stay as typed, also outside the limits: Record refuses them.
  der->clear();
  run.typeInto(der, "0");
  QCOMPARE(der->text(), "0");
  der->setText("1e999");
  QCOMPARE(der->text(), "1e999");
  // A block that holds no number shows nothing rather than "nan".
  DEVICE_PARAMS broken;
  broken.UnitSievert = true;
  broken.DerThreshold = std::numeric_limits<float>::quiet_NaN();
  broken.DeThreshold = std::numeric_limits<float>::infinity();
  run.read(broken);
  QCOMPARE(der->text(), "");
  QCOMPARE(run.text("Ed_ThresholdDE"), "");
  run.modes.clear();
  // Leaving an empty edit keeps it empty; Enter does not start an exchange.
  der->clear();
  run.leave(der);
  QCOMPARE(der->text(), "");
  QVERIFY(run.modes.empty());
}

void TestParams::badIntervalAndDelayEdits() {
  Run run;
  QLineEdit *interval = run.edit("Ed_history_interval");
  run.typeInto(interval, "1x2");
  QCOMPARE(interval->text(), "12");
  // Whole numbers stay as typed, also 0: Record refuses what cannot be taken.
  for (auto [typed, kept] : {std::pair{"abc", ""}, std::pair{"0", "0"}, std::pair{"2401", "2401"},
                             std::pair{"1.5", ""}, std::pair{"1,5,5", ""}, std::pair{"77", "77"}}) {
    interval->setText(QString::fromUtf8(typed));
    run.leave(interval);
    QCOMPARE(interval->text(), QString::fromUtf8(kept));
  }
  QVERIFY(run.modes.empty());

  run.get<QCheckBox>("cbTimeIndicationControl")->setChecked(true);
  auto *delay = run.get<QComboBox>("cmb_TimeIndication");
  delay->setEditText("");
  run.typeInto(delay, "a-1.b2");
  QCOMPARE(delay->currentText(), "12");
  run.typeInto(delay, "9");
  QCOMPARE(delay->currentText(), "30"); // 129 is above 30
  QCOMPARE(delay->currentIndex(), 5);
  delay->setEditText("");
  run.typeInto(delay, "3");
  QCOMPARE(delay->currentText(), "3"); // below 5 is taken as typed
  // Text that cannot be read selects 30, also when the list is entered.
  delay->setEditText("x");
  QFocusEvent entered(QEvent::FocusIn);
  QApplication::sendEvent(delay, &entered);
  QCOMPARE(delay->currentText(), "30");
  delay->setEditText("5");
  QTest::keyClick(delay, Qt::Key_Backspace);
  QCOMPARE(delay->currentText(), "30");
}

void TestParams::writeRefusesWhatCannotBeRead() {
  Run run;
  run.read(ParamReply(0.0025f, 0.5f, 25, AllFlags, 60, 9, 0));
  run.state.ParamsToWrite.HistoryInterval = 333;
  run.state.ParamsToWrite.DoWriteParams = false;
  const DEVICE_PARAMS before = run.state.ParamsToWrite;
  // An edit filled behind the window's back, and a delay that is not a number.
  {
    const QSignalBlocker block(run.edit("Ed_ThresholdDE"));
    run.edit("Ed_ThresholdDE")->setText("1.2.3");
  }
  run.form().SB_Write->click();
  QCOMPARE(run.messages.texts(),
           QStringList{"DE, mSv: the instrument takes values from 0.001 to 10000 only"});
  QCOMPARE(run.messages.shown.front().kind, OperatorMessages::Error);
  QVERIFY(run.modes.size() == 1); // only the read
  QCOMPARE(run.state.ParamsToWrite.HistoryInterval, before.HistoryInterval);
  QCOMPARE(run.state.ParamsToWrite.DerThreshold, before.DerThreshold);
  QVERIFY(!run.state.ParamsToWrite.DoWriteParams);

  run.messages.shown.clear();
  run.edit("Ed_ThresholdDE")->setText("500");
  {
    const QSignalBlocker block(run.edit("Ed_history_interval"));
    run.edit("Ed_history_interval")->setText("99999"); // Record pressed without leaving the edit
  }
  run.form().SB_Write->click();
  QCOMPARE(run.messages.texts(),
           QStringList{"Interval of record events in a history, min: the instrument takes "
                       "values from 1 to 2400 only"});
  QVERIFY(run.modes.size() == 1);

  // Nothing at all to do: the same message.
  run.messages.shown.clear();
  run.edit("Ed_history_interval")->clear();
  run.form().SB_Write->click();
  QCOMPARE(run.messages.texts(), QStringList{"Incorrectly one of the parameters,  check up them!"});
  QVERIFY(run.modes.size() == 1);
}

void TestParams::confirmationsBeforeWriting() {
  const QString sync = "The device time will be syncronize with PC!\nOther parameters will be "
                       "ignored, because not all of them are defined!  Continue?";
  const QString clearOnly = "The history will be cleared from device without saving to "
                            "database!\nOther parameters will be ignored, because not all of them "
                            "are defined!  Continue?";
  const QString clearWithParams = "The history in the device will be deleted \nwithout restoring "
                                  "and saving to database. Continue?";
  const QString done = "The parameters were successfully recorded into device";
  {
    // All edits empty and only the clock: OK and Cancel; Cancel stops.
    Run run;
    run.get<QCheckBox>("CB_Sync")->setChecked(true);
    run.messages.answers = {false};
    run.form().SB_Write->click();
    QCOMPARE(run.messages.texts(), QStringList{sync});
    QCOMPARE(run.messages.okCancel, std::vector<bool>{true});
    QVERIFY(run.modes.empty());
    run.form().SB_Write->click(); // OK: the clock is set and the instrument read back
    QCOMPARE(run.modes, std::vector<int>{TFormParams::ModeWriteParameters});
    QVERIFY(!run.written.DoWriteParams && run.written.DoSetActivationTime);
    QCOMPARE(run.messages.texts(), (QStringList{sync, sync, done}));
  }
  {
    // Clock and clear without parameters: both questions, one after the other.
    Run run;
    run.get<QCheckBox>("CB_Sync")->setChecked(true);
    run.get<QCheckBox>("CB_ClearHist")->setChecked(true);
    run.messages.answers = {true, false};
    run.form().SB_Write->click();
    QCOMPARE(run.messages.texts(), (QStringList{sync, clearOnly}));
    QCOMPARE(run.messages.okCancel, (std::vector<bool>{true, false}));
    QVERIFY(run.modes.empty());
  }
  {
    // Parameters and clear: the Yes/No question of deleting history.
    Run run;
    run.read(ParamReply(0.0025f, 0.5f, 25, AllFlags, 60, 9, 0));
    run.get<QCheckBox>("CB_ClearHist")->setChecked(true);
    run.messages.answers = {false};
    run.form().SB_Write->click();
    QCOMPARE(run.messages.texts(), QStringList{clearWithParams});
    QCOMPARE(run.messages.okCancel, std::vector<bool>{false});
    QCOMPARE(run.modes.size(), 1u);
    run.form().SB_Write->click();
    QCOMPARE(run.modes.back(), TFormParams::ModeWriteParameters);
    QVERIFY(run.written.DoWriteParams && run.written.DoClearHistory);
    QCOMPARE(run.messages.texts(), (QStringList{clearWithParams, clearWithParams, done}));
  }
}

void TestParams::failedExchangeChangesNothing() {
  Run run;
  run.read(ParamReply(0.0025f, 0.5f, 25, AllFlags, 60, 9, 0));
  run.exchangeOk = false;
  DEVICE_PARAMS other;
  other.HistoryInterval = 1000;
  run.readBack = other;
  run.form().SB_Read->click();
  QCOMPARE(run.text("Ed_history_interval"), "60");
  run.form().SB_Write->click();
  QCOMPARE(run.modes.back(), TFormParams::ModeWriteParameters);
  QVERIFY(run.messages.shown.empty());
  QCOMPARE(run.text("Ed_history_interval"), "60");
}

void TestParams::soundAndEnergySavingShowTheirOptions() {
  Run run;
  auto *sound = run.get<QCheckBox>("CB_Sound");
  sound->setChecked(true);
  QCOMPARE(sound->toolTip(), "Sound on");
  for (const char *n : {"rbLoudly", "rbSilent", "CB_ButtonSound"})
    QVERIFY(!run.get<QWidget>(n)->isHidden());
  sound->click();
  QCOMPARE(sound->toolTip(), "Sound off");
  for (const char *n : {"rbLoudly", "rbSilent", "CB_ButtonSound"})
    QVERIFY(run.get<QWidget>(n)->isHidden());

  auto *energy = run.get<QCheckBox>("cbTimeIndicationControl");
  energy->setChecked(false);
  QVERIFY(run.get<QWidget>("cmb_TimeIndication")->isHidden());
  QVERIFY(run.get<QWidget>("L_TimeIndication")->isHidden());
  energy->click();
  QVERIFY(!run.get<QWidget>("cmb_TimeIndication")->isHidden());
  QVERIFY(!run.get<QWidget>("L_TimeIndication")->isHidden());

  // The delay is read while the list is on, whichever page is on show.
  run.read(ParamReply(0.0025f, 0.5f, 25, AllFlags, 60, 9, 0));
  run.get<QComboBox>("cmb_TimeIndication")->setEditText("7");
  run.form().SB_Write->click();
  QCOMPARE(run.written.DisplayOffDelay, 7);
}

void TestParams::brightnessPreview() {
  Run run;
  auto *bar = run.get<QSlider>("TrBarBrightness");
  QCOMPARE(bar->minimum(), 5);
  QCOMPARE(bar->maximum(), 15);
  auto colour = [&] { return run.get<QFrame>("ShapeColor")->palette().color(QPalette::Window); };
  bar->setValue(12);
  QCOMPARE(colour(), QColor(0x00, 0xDC, 0x05));
  bar->setValue(13);
  QCOMPARE(colour(), QColor(0x7A, 0xD6, 0x13));
}

void TestParams::defaultExchangeRunsTheExchangeWindow() {
  Run run;
  run.form().RunExchange = [&run](int mode) {
    return TFormParams::RunExchangeWindow(run.ctx, mode);
  };
  bool seenModal = false;
  QTimer::singleShot(0, [&] {
    auto *exchange = static_cast<QDialog *>(run.ctx.FormRead);
    seenModal = exchange->isVisible() && exchange->isModal();
    run.state.LastReadParams.DeviceId = 99;
    exchange->accept();
  });
  run.form().SB_Read->click();
  QVERIFY(seenModal);
  QCOMPARE(run.get<QLabel>("L_num")->text(), "Device № 99");
}

QTEST_MAIN(TestParams)
#include "tst_params.moc"
