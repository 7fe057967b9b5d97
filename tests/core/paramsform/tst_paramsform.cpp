// The parameters window's conversions and edit rules, without widgets:
// threshold text, number reading, range limits in both units, the unit
// switch, the delay list, the brightness colour and the record round trip.
#include <QLocale>
#include <QTest>
#include <cmath>
#include <tuple>

#include "lang/TextTable.h"
#include "link/ParamsForm.h"

namespace {

auto fields(const DEVICE_PARAMS &p) {
  return std::tie(p.DeviceId, p.DerThreshold, p.DisplayOffDelay, p.SoundOn, p.Loud,
                  p.DisplayOffEnabled, p.UnitSievert, p.ButtonBeep, p.HistoryInterval,
                  p.DeThreshold, p.ClockCalendar, p.Brightness, p.DoWriteParams, p.ActivationDay,
                  p.ActivationMonth, p.ActivationYear, p.ActivationHour, p.ActivationMinute,
                  p.ActivationSecond, p.ActivationTime, p.DoSetActivationTime, p.DoClearHistory);
}

// A record whose every field differs from zero, to see which ones change.
DEVICE_PARAMS filledRecord() {
  DEVICE_PARAMS p;
  p.DeviceId = 1234567;
  p.DerThreshold = 0.5f;
  p.DisplayOffDelay = 17;
  p.SoundOn = p.Loud = p.DisplayOffEnabled = p.UnitSievert = p.ButtonBeep = true;
  p.HistoryInterval = 77;
  p.DeThreshold = 2.0f;
  p.ClockCalendar = true;
  p.Brightness = 9;
  p.DoWriteParams = p.DoSetActivationTime = p.DoClearHistory = true;
  p.ActivationDay = 3;
  p.ActivationMonth = 4;
  p.ActivationYear = 2025;
  p.ActivationHour = 5;
  p.ActivationMinute = 6;
  p.ActivationSecond = 7;
  p.ActivationTime = 45000.25;
  return p;
}

ParamsFormValues completeValues() {
  ParamsFormValues v;
  v.ThresholdDER = "1.500";
  v.ThresholdDE = "250.000";
  v.HistoryInterval = "60";
  v.DelayVisible = true;
  v.Delay = "20";
  v.SoundOn = true;
  v.Loud = false;
  v.ButtonBeep = true;
  v.DisplayOffEnabled = true;
  v.ClockCalendar = true;
  v.Brightness = 13;
  v.ClearHistory = true;
  v.SetActivationTime = false;
  return v;
}

} // namespace

class TestParamsForm : public QObject {
  Q_OBJECT

private slots:
  void formatThreshold_data();
  void formatThreshold();
  void readDecimal_data();
  void readDecimal();
  void readIntegerSaturatesAndRefuses();
  void thresholdText_data();
  void thresholdText();
  void thresholdTextIsStable();
  void thresholdTextWhileTyping();
  void intervalText_data();
  void intervalText();
  void delayText();
  void unitConversion_data();
  void unitConversion();
  void unitConversionTwiceGivesBackTheNumber();
  void brightnessColor();
  void thresholdLabels();
  void recordShownInSievertAndRoentgen();
  void delayAndBrightnessShown();
  void collectTakesEveryField();
  void collectRoentgenAndLimits();
  void collectWithoutNumbersTakesOnlyOptions();
  void collectRefusesWhatCannotBeWritten_data();
  void collectRefusesWhatCannotBeWritten();
  void unfitFieldNamesTheDEAndItsRange();
  void showThenCollectGivesTheSameRecord();
};

void TestParamsForm::formatThreshold_data() {
  QTest::addColumn<double>("x");
  QTest::addColumn<QString>("point");
  QTest::addColumn<QString>("text");
  QTest::newRow("0.1 takes three decimals") << 0.1 << "."
                                            << "0.100";
  QTest::newRow("large") << 1000000.0 << "."
                         << "1000000.000";
  QTest::newRow("rounded") << 12.3456 << "."
                           << "12.346";
  QTest::newRow("just under 0.1 takes six") << 0.0999999 << "."
                                            << "0.100000";
  QTest::newRow("0.001 takes six") << 0.001 << "."
                                   << "0.001000";
  QTest::newRow("below 0.001: exponent") << 0.0005 << "."
                                         << "5.000E-04";
  QTest::newRow("tiny") << 1e-7 << "."
                        << "1.000E-07";
  QTest::newRow("zero") << 0.0 << "."
                        << "0.000E+00";
  QTest::newRow("negative") << -0.5 << "."
                            << "-5.000E-01";
  QTest::newRow("comma") << 12.5 << ","
                         << "12,500";
  QTest::newRow("comma, six decimals") << 0.0125 << ","
                                       << "0,012500";
  QTest::newRow("comma, exponent") << 0.00025 << ","
                                   << "2,500E-04";
}

void TestParamsForm::formatThreshold() {
  QFETCH(double, x);
  QFETCH(QString, point);
  QFETCH(QString, text);
  QCOMPARE(FormatThreshold(x, point[0]), text);
}

void TestParamsForm::readDecimal_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("separator");
  QTest::addColumn<bool>("readable");
  QTest::addColumn<double>("value");
  QTest::newRow("plain") << "1.5"
                         << "." << true << 1.5;
  QTest::newRow("blanks") << "  2 "
                          << "." << true << 2.0;
  QTest::newRow("signs") << "-3.25"
                         << "." << true << -3.25;
  QTest::newRow("plus") << "+4"
                        << "." << true << 4.0;
  QTest::newRow("exponent") << "1e3"
                            << "." << true << 1000.0;
  QTest::newRow("negative exponent") << "2.5E-3"
                                     << "." << true << 0.0025;
  QTest::newRow("no whole part") << ".5"
                                 << "." << true << 0.5;
  QTest::newRow("no fraction") << "5."
                               << "." << true << 5.0;
  QTest::newRow("comma separator") << "1,5"
                                   << "," << true << 1.5;
  QTest::newRow("overflow is huge") << "1e400"
                                    << "." << true << qInf();
  QTest::newRow("400 digits are huge") << QString(400, u'9') << "." << true << qInf();
  QTest::newRow("underflow is zero") << "1e-400"
                                     << "." << true << 0.0;
  QTest::newRow("small after many zeros") << "0." + QString(330, u'0') + "1"
                                          << "." << true << 0.0;
  QTest::newRow("empty") << ""
                         << "." << false << 0.0;
  QTest::newRow("blank") << "   "
                         << "." << false << 0.0;
  QTest::newRow("letters") << "abc"
                           << "." << false << 0.0;
  QTest::newRow("digits and letters") << "12abc"
                                      << "." << false << 0.0;
  QTest::newRow("two separators") << "1.2.3"
                                  << "." << false << 0.0;
  QTest::newRow("other separator") << "1,5"
                                   << "." << false << 0.0;
  QTest::newRow("separator only") << "."
                                  << "." << false << 0.0;
  QTest::newRow("sign only") << "-"
                             << "." << false << 0.0;
  QTest::newRow("exponent without digits") << "1e"
                                           << "." << false << 0.0;
  QTest::newRow("exponent sign only") << "1e+"
                                      << "." << false << 0.0;
  QTest::newRow("exponent only") << "e5"
                                 << "." << false << 0.0;
  QTest::newRow("inner blank") << "1 2"
                               << "." << false << 0.0;
  QTest::newRow("infinity word") << "inf"
                                 << "." << false << 0.0;
  QTest::newRow("nan word") << "nan"
                            << "." << false << 0.0;
  QTest::newRow("hex") << "0x10"
                       << "." << false << 0.0;
  QTest::newRow("two signs") << "--1"
                             << "." << false << 0.0;
}

void TestParamsForm::readDecimal() {
  QFETCH(QString, text);
  QFETCH(QString, separator);
  QFETCH(bool, readable);
  QFETCH(double, value);
  const auto read = ReadDecimal(text, separator[0]);
  QCOMPARE(read.has_value(), readable);
  if (readable)
    QCOMPARE(*read, value);
}

void TestParamsForm::readIntegerSaturatesAndRefuses() {
  QCOMPARE(ReadInteger(" 42 ").value(), 42);
  QCOMPARE(ReadInteger("-7").value(), -7);
  QCOMPARE(ReadInteger("+7").value(), 7);
  QCOMPARE(ReadInteger(QString(60, u'9')).value(), std::numeric_limits<std::int64_t>::max());
  QVERIFY(ReadInteger("-" + QString(60, u'9')).value() < -1000000);
  for (const char *bad : {"", " ", "-", "1.5", "1e3", "abc", "12a", "1 2"})
    QVERIFY2(!ReadInteger(bad), bad);
}

void TestParamsForm::thresholdText_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("point");
  QTest::addColumn<QString>("kept");
  QTest::newRow("in range stays as typed") << "5"
                                           << "."
                                           << "5";
  // Numbers stay as typed, also outside the limits: "0" is how "0.020"
  // begins, and what the instrument cannot take is refused on writing.
  QTest::newRow("a leading 0 stays") << "0"
                                     << "."
                                     << "0";
  QTest::newRow("below") << "0.0005"
                         << "."
                         << "0.0005";
  QTest::newRow("negative") << "-5"
                            << "."
                            << "-5";
  QTest::newRow("above") << "20000"
                         << "."
                         << "20000";
  QTest::newRow("huge") << "1e400"
                        << "."
                        << "1e400";
  QTest::newRow("comma becomes the point") << "1,5"
                                           << "."
                                           << "1.5";
  QTest::newRow("only the first comma") << "1,5,5"
                                        << "."
                                        << "";
  QTest::newRow("several points") << "1.2.3"
                                  << "."
                                  << "";
  QTest::newRow("letters") << "abc"
                           << "."
                           << "";
  QTest::newRow("lone e") << "e"
                          << "."
                          << "";
  QTest::newRow("empty") << ""
                         << "."
                         << "";
  QTest::newRow("comma locale: point becomes comma") << "1.5"
                                                     << ","
                                                     << "1,5";
  QTest::newRow("comma locale: 0,020 as typed") << "0.020"
                                                << ","
                                                << "0,020";
}

void TestParamsForm::thresholdTextWhileTyping() {
  // The start of a number stays while typing and goes when the edit is left.
  for (const char *begun : {"-", "+", ".", "1e", "2.5E-", "1e+", " 3e"}) {
    QCOMPARE(CheckThresholdText(begun, u'.', true), QString(begun));
    QCOMPARE(CheckThresholdText(begun, u'.', false), QString());
  }
  for (const char *never : {"e", "e5", "abc", "1x", "1.2.", "1e5e", "1,2,"})
    QCOMPARE(CheckThresholdText(never, u'.', true), QString());
  // "0.020" typed key by key stays what was typed at every step.
  QString typed;
  for (QChar c : QStringLiteral("0.020")) {
    typed += c;
    QCOMPARE(CheckThresholdText(typed, u'.', true), typed);
  }
  QCOMPARE(CheckThresholdText("1,", u'.', true), "1.");
}

void TestParamsForm::thresholdText() {
  QFETCH(QString, text);
  QFETCH(QString, point);
  QFETCH(QString, kept);
  QCOMPARE(CheckThresholdText(text, point[0]), kept);
}

void TestParamsForm::thresholdTextIsStable() {
  // The edit runs the rule again on the text the rule produced.
  for (const char *t : {"0", "0.0004", "1e9", "3,25", "-1", "0.1", "1000000.0", "10000.0"}) {
    const QString once = CheckThresholdText(t, u'.');
    QCOMPARE(CheckThresholdText(once, u'.'), once);
  }
}

void TestParamsForm::intervalText_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("kept");
  QTest::newRow("empty stays empty") << ""
                                     << "";
  QTest::newRow("in range") << "60"
                            << "60";
  QTest::newRow("limits") << "2400"
                          << "2400";
  // Whole numbers stay as typed; one the instrument cannot take is refused
  // on writing.
  QTest::newRow("zero") << "0"
                        << "0";
  QTest::newRow("negative") << "-7"
                            << "-7";
  QTest::newRow("above") << "2401"
                         << "2401";
  QTest::newRow("fraction") << "1.5"
                            << "";
  QTest::newRow("exponent") << "1e3"
                            << "";
  QTest::newRow("letters") << "abc"
                           << "";
  QTest::newRow("blanks only") << "  "
                               << "";
}

void TestParamsForm::intervalText() {
  QFETCH(QString, text);
  QFETCH(QString, kept);
  QCOMPARE(CheckIntervalText(text), kept);
}

void TestParamsForm::delayText() {
  for (const char *ok : {"0", "3", "5", "12", "30", " 25 "})
    QVERIFY2(DelayTextAccepted(ok), ok);
  for (const char *bad : {"31", "", "abc", "-1", "99999999999999999999999", "1.5"})
    QVERIFY2(!DelayTextAccepted(bad), bad);
}

void TestParamsForm::unitConversion_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("toRoentgen");
  QTest::addColumn<QString>("converted");
  QTest::newRow("mSv to mR") << "10.000" << true << "1000.000";
  QTest::newRow("mR to mSv") << "1000.000" << false << "10.000";
  QTest::newRow("lower limit to mR") << "0.001" << true << "0.100";
  QTest::newRow("lower limit to mSv") << "0.1" << false << "0.001000";
  QTest::newRow("small mR to mSv") << "0.05" << false << "5.000E-04";
  QTest::newRow("comma in a point locale") << "1,5" << true << "150.000";
  QTest::newRow("odd separator") << "12;5" << true << "1250.000";
  QTest::newRow("exponent") << "1e-2" << true << "1.000";
  QTest::newRow("letters left alone") << "abc" << true << "";
  QTest::newRow("empty left alone") << "" << true << "";
  QTest::newRow("two separators left alone") << "1.2.3" << true << "";
}

void TestParamsForm::unitConversion() {
  QFETCH(QString, text);
  QFETCH(bool, toRoentgen);
  QFETCH(QString, converted);
  const auto result = ConvertThresholdText(text, toRoentgen, u'.');
  QCOMPARE(result.value_or(QString()), converted);
}

void TestParamsForm::unitConversionTwiceGivesBackTheNumber() {
  for (double v : {0.001, 0.0125, 0.5, 12.345, 9999.5}) {
    const QString shown = FormatThreshold(v, u',');
    const QString there = ConvertThresholdText(shown, true, u',').value();
    const QString back = ConvertThresholdText(there, false, u',').value();
    QCOMPARE(back, shown);
  }
}

void TestParamsForm::brightnessColor() {
  QCOMPARE(BrightnessColor(5), 0x058F00u);
  QCOMPARE(BrightnessColor(12), 0x05DC00u);
  QCOMPARE(BrightnessColor(13), 0x13D67Au);
  QCOMPARE(BrightnessColor(15), 0x13EC7Au);
}

void TestParamsForm::thresholdLabels() {
  TextTable texts;
  QCOMPARE(ThresholdLabel(texts, true, false), "DER, mSv/h");
  QCOMPARE(ThresholdLabel(texts, false, false), "DE, mSv");
  QCOMPARE(ThresholdLabel(texts, true, true), "DER, mR/h");
  QCOMPARE(ThresholdLabel(texts, false, true), "DE, mR");
  texts.set(243, "MAD");
  texts.set(255, "mРн");
  QCOMPARE(ThresholdLabel(texts, true, false), "MAD, mSv/h");
  QCOMPARE(ThresholdLabel(texts, false, true), "DE, mРн");
}

void TestParamsForm::recordShownInSievertAndRoentgen() {
  DEVICE_PARAMS p;
  p.UnitSievert = false;
  p.DerThreshold = 0.0001f;
  p.DeThreshold = 0.05f;
  ParamsFormValues v = DeviceParamsToForm(p, u'.');
  QVERIFY(v.Roentgen);
  QCOMPARE(v.ThresholdDER, "10.000");  // mR/h
  QCOMPARE(v.ThresholdDE, "5000.000"); // mR
  p.UnitSievert = true;
  v = DeviceParamsToForm(p, u',');
  QVERIFY(!v.Roentgen);
  QCOMPARE(v.ThresholdDER, "0,100"); // mSv/h
  QCOMPARE(v.ThresholdDE, "50,000"); // mSv
  p.DerThreshold = 0.0000005f;       // 0.0005 mSv/h: below what an edit lets through
  QCOMPARE(DeviceParamsToForm(p, u'.').ThresholdDER, "5.000E-04");
}

void TestParamsForm::delayAndBrightnessShown() {
  struct Case {
    int delay, item;
    const char *text;
  };
  for (const Case c : {Case{12, 1, "12"}, Case{30, 5, "30"}, Case{5, 0, "5"}, Case{45, 5, "45"},
                       Case{3, -1, "3"}, Case{0, -1, "0"}}) {
    DEVICE_PARAMS p;
    p.DisplayOffDelay = std::uint16_t(c.delay);
    const ParamsFormValues v = DeviceParamsToForm(p, u'.');
    QCOMPARE(v.DelayItem, c.item);
    QCOMPARE(v.Delay, QString(c.text));
  }
  for (auto [stored, shown] : {std::pair{3, 5}, std::pair{0, 5}, std::pair{12, 12},
                               std::pair{15, 15}, std::pair{200, 15}}) {
    DEVICE_PARAMS p;
    p.Brightness = std::uint16_t(stored);
    QCOMPARE(DeviceParamsToForm(p, u'.').Brightness, shown);
  }
}

void TestParamsForm::collectTakesEveryField() {
  DEVICE_PARAMS r = filledRecord();
  const DEVICE_PARAMS before = r;
  QVERIFY(FormToDeviceParams(completeValues(), r, u'.'));
  QCOMPARE(r.DerThreshold, 0.0015f);
  QCOMPARE(r.DeThreshold, 0.25f);
  QCOMPARE(r.HistoryInterval, 60);
  QCOMPARE(r.DisplayOffDelay, 20);
  QVERIFY(r.DoWriteParams && r.SoundOn && !r.Loud && r.ButtonBeep && r.DisplayOffEnabled);
  QVERIFY(r.UnitSievert && r.ClockCalendar && r.DoClearHistory && !r.DoSetActivationTime);
  QCOMPARE(r.Brightness, 13);
  // Number and activation time are the instrument's, never the window's.
  QCOMPARE(r.DeviceId, before.DeviceId);
  QCOMPARE(r.ActivationTime, before.ActivationTime);
  QCOMPARE(r.ActivationYear, before.ActivationYear);

  // A hidden delay list is not read.
  ParamsFormValues v = completeValues();
  v.DelayVisible = false;
  v.Delay = "garbage";
  r = filledRecord();
  QVERIFY(FormToDeviceParams(v, r, u'.'));
  QCOMPARE(r.DisplayOffDelay, before.DisplayOffDelay);
}

void TestParamsForm::collectRoentgenAndLimits() {
  ParamsFormValues v = completeValues();
  v.Roentgen = true;
  v.ThresholdDER = "10"; // mR/h
  v.ThresholdDE = "0.1"; // the Roentgen lower limit, mR
  DEVICE_PARAMS r;
  QVERIFY(FormToDeviceParams(v, r, u'.'));
  QVERIFY(!r.UnitSievert);
  QCOMPARE(r.DerThreshold, 0.0001f);
  QCOMPARE(r.DeThreshold, 0.000001f);
  v.ThresholdDER = "1000000.0"; // upper limit, 10 Sv/h
  QVERIFY(FormToDeviceParams(v, r, u'.'));
  QCOMPARE(r.DerThreshold, 10.0f);

  v = completeValues();
  v.ThresholdDER = "10000,0";
  v.ThresholdDE = "0,001";
  QVERIFY(FormToDeviceParams(v, r, u','));
  QCOMPARE(r.DerThreshold, 10.0f);
  QCOMPARE(r.DeThreshold, 0.000001f);
}

void TestParamsForm::collectWithoutNumbersTakesOnlyOptions() {
  for (int empty = 0; empty < 3; ++empty) {
    ParamsFormValues v = completeValues();
    v.Roentgen = true;
    (empty == 0 ? v.ThresholdDER : empty == 1 ? v.ThresholdDE : v.HistoryInterval) = "  ";
    v.Delay = "garbage";
    DEVICE_PARAMS r = filledRecord();
    QVERIFY(FormToDeviceParams(v, r, u'.'));
    QVERIFY(!r.DoWriteParams);
    // The numbers keep what they held, in the record's own unit.
    QCOMPARE(r.DerThreshold, 0.5f);
    QCOMPARE(r.DeThreshold, 2.0f);
    QCOMPARE(r.HistoryInterval, 77);
    QCOMPARE(r.DisplayOffDelay, 17);
    QVERIFY(!r.UnitSievert && r.DoClearHistory && r.SoundOn);
  }
}

void TestParamsForm::collectRefusesWhatCannotBeWritten_data() {
  QTest::addColumn<QString>("der");
  QTest::addColumn<QString>("interval");
  QTest::addColumn<QString>("delay");
  QTest::addColumn<int>("field");
  QTest::newRow("letters") << "abc"
                           << "60"
                           << "20" << int(ParamsField::ThresholdDER);
  QTest::newRow("two separators") << "1.2.3"
                                  << "60"
                                  << "20" << int(ParamsField::ThresholdDER);
  QTest::newRow("other separator") << "1,5"
                                   << "60"
                                   << "20" << int(ParamsField::ThresholdDER);
  QTest::newRow("below the limit") << "0.0001"
                                   << "60"
                                   << "20" << int(ParamsField::ThresholdDER);
  QTest::newRow("huge") << "1e400"
                        << "60"
                        << "20" << int(ParamsField::ThresholdDER);
  QTest::newRow("interval letters") << "1"
                                    << "ten"
                                    << "20" << int(ParamsField::HistoryInterval);
  QTest::newRow("interval zero") << "1"
                                 << "0"
                                 << "20" << int(ParamsField::HistoryInterval);
  QTest::newRow("interval beyond 16 bits") << "1"
                                           << "70000"
                                           << "20" << int(ParamsField::HistoryInterval);
  QTest::newRow("interval fraction") << "1"
                                     << "1.5"
                                     << "20" << int(ParamsField::HistoryInterval);
  QTest::newRow("delay letters") << "1"
                                 << "60"
                                 << "x" << int(ParamsField::DisplayOffDelay);
  QTest::newRow("delay empty") << "1"
                               << "60"
                               << "" << int(ParamsField::DisplayOffDelay);
  QTest::newRow("delay negative") << "1"
                                  << "60"
                                  << "-5" << int(ParamsField::DisplayOffDelay);
  QTest::newRow("delay beyond 16 bits") << "1"
                                        << "60"
                                        << "70000" << int(ParamsField::DisplayOffDelay);
  QTest::newRow("negative threshold") << "-1"
                                      << "60"
                                      << "20" << int(ParamsField::ThresholdDER);
  // The interval comes first: it is on the first page.
  QTest::newRow("interval and threshold") << "0"
                                          << "0"
                                          << "20" << int(ParamsField::HistoryInterval);
}

void TestParamsForm::collectRefusesWhatCannotBeWritten() {
  QFETCH(QString, der);
  QFETCH(QString, interval);
  QFETCH(QString, delay);
  QFETCH(int, field);
  ParamsFormValues v = completeValues();
  v.ThresholdDER = der;
  v.HistoryInterval = interval;
  v.Delay = delay;
  DEVICE_PARAMS r = filledRecord();
  QVERIFY(!FormToDeviceParams(v, r, u'.'));
  QVERIFY(fields(r) == fields(filledRecord()));
  QCOMPARE(int(UnfitField(v, u'.').value()), field);
}

void TestParamsForm::unfitFieldNamesTheDEAndItsRange() {
  ParamsFormValues v = completeValues();
  QVERIFY(!UnfitField(v, u'.'));
  v.ThresholdDE = "0.0001";
  QCOMPARE(UnfitField(v, u'.'), std::optional(ParamsField::ThresholdDE));
  // Empty numbers write no parameters, so nothing is unfit.
  v.HistoryInterval.clear();
  QVERIFY(!UnfitField(v, u'.'));
  QCOMPARE(FieldRange(ParamsField::ThresholdDE, false, u','),
           std::pair(QString("0,001"), QString("10000")));
  QCOMPARE(FieldRange(ParamsField::ThresholdDER, true, u'.'),
           std::pair(QString("0.1"), QString("1000000")));
  QCOMPARE(FieldRange(ParamsField::HistoryInterval, false, u'.'),
           std::pair(QString("1"), QString("2400")));
}

void TestParamsForm::showThenCollectGivesTheSameRecord() {
  for (bool sievert : {true, false}) {
    DEVICE_PARAMS read;
    read.DeviceId = 4418;
    read.UnitSievert = sievert;
    read.DerThreshold = 0.00012f;
    read.DeThreshold = 0.035f;
    read.DisplayOffDelay = 12;
    read.DisplayOffEnabled = true;
    read.SoundOn = true;
    read.Loud = true;
    read.HistoryInterval = 2400;
    read.Brightness = 11;
    ParamsFormValues v = DeviceParamsToForm(read, u'.');
    v.DelayVisible = v.DisplayOffEnabled;
    DEVICE_PARAMS written;
    QVERIFY(FormToDeviceParams(v, written, u'.'));
    QVERIFY(written.DoWriteParams);
    QCOMPARE(written.DerThreshold, read.DerThreshold);
    QCOMPARE(written.DeThreshold, read.DeThreshold);
    QCOMPARE(written.DisplayOffDelay, read.DisplayOffDelay);
    QCOMPARE(written.HistoryInterval, read.HistoryInterval);
    QCOMPARE(written.UnitSievert, sievert);
    QCOMPARE(written.Brightness, read.Brightness);
  }
}

QTEST_GUILESS_MAIN(TestParamsForm)
#include "tst_paramsform.moc"
