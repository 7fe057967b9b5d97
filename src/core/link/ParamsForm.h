#pragma once
#include <QChar>
#include <QString>
#include <cstdint>
#include <optional>
#include <utility>

#include "link/DeviceParams.h"

class TextTable;

// What the parameters window shows and reads back, and the rules its edits
// follow, kept apart from the widgets. Thresholds are shown in milli-units:
// mSv/h and mSv with the Sievert unit, mR/h and mR with the Roentgen unit
// (1 Sv = 100 R); the parameter record holds Sv/h and Sv.

// Limits of the shown thresholds, in mSv/h or mSv (0.000001 to 10 Sv/h or Sv).
constexpr double ThresholdMinMilli = 0.001;
constexpr double ThresholdMaxMilli = 10000.0;
constexpr int HistoryIntervalMin = 1;
constexpr int HistoryIntervalMax = 2400;
constexpr int BrightnessMin = 5;
constexpr int BrightnessMax = 15;
// The switch-off delay list offers 5, 10 .. 30 seconds; a larger typed value becomes 30.
constexpr int DisplayOffDelayStep = 5;
constexpr int DisplayOffDelayMax = 30;
constexpr int DisplayOffDelayItems = DisplayOffDelayMax / DisplayOffDelayStep;

// A threshold as text: 0.1 and above with three decimals ("12.500"), 0.001 up
// to 0.1 with six ("0.012500"), smaller values in exponent form ("5.000E-04").
QString FormatThreshold(double x, QChar decimalPoint);

// A decimal number as typed: blanks around it, a sign, digits with at most one
// `separator`, an optional exponent (e or E, a sign, digits). Anything else
// cannot be read. A number too large for a double reads as infinity, one too
// small as zero.
std::optional<double> ReadDecimal(const QString &text, QChar separator);

// A whole number as typed: blanks around it, a sign and digits. Values beyond
// the 64-bit range saturate, so a huge number still reads as huge.
std::optional<std::int64_t> ReadInteger(const QString &text);

// The text a threshold edit keeps after a change (typing true) or when it is
// left: the first comma or full stop that is not `decimalPoint` becomes it; a
// text that cannot be read becomes empty, except that while typing the start
// of a number ("-", "1e", "2.5e-") stays so that an exponent can be typed.
// A number stays as typed, also outside the limits: "0" is how "0.020"
// begins, and a value the instrument cannot take is refused when it is
// written (UnfitField), never changed behind the operator's back.
QString CheckThresholdText(const QString &text, QChar decimalPoint, bool typing = false);

// Whether `text` is the beginning of a number that ReadDecimal could read
// once more is typed: a sign, a separator or an exponent still without digits.
bool IsNumberBeginning(const QString &text, QChar separator);

// The text the history interval edit keeps when it is left: a text that is
// not a whole number becomes empty; any whole number stays as typed.
QString CheckIntervalText(const QString &text);

// Whether the switch-off delay list keeps a typed text: a whole number from 0
// to 30. Anything else makes the list select its last item, 30.
bool DelayTextAccepted(const QString &text);

// A threshold text converted to the other unit (to roentgen: times 100, to
// sievert: times 0.01) and formatted again. The text's own separator is
// found first: a comma if it has one, else a full stop, else the first
// character after trimming that is not a digit, e, E or minus, else a full
// stop. Nothing when the text cannot be read.
std::optional<QString> ConvertThresholdText(const QString &text, bool toRoentgen,
                                            QChar decimalPoint);

// Colour of the brightness preview for a bar position, as 0x00BBGGRR.
std::uint32_t BrightnessColor(int position);

// "DER, mSv/h", "DE, mR" ...: the label of a threshold edit in the current language.
QString ThresholdLabel(const TextTable &texts, bool rate, bool roentgen);

// The values of the window's controls that take part in a parameter record.
struct ParamsFormValues {
  QString ThresholdDER; // edit texts, in the shown unit
  QString ThresholdDE;
  QString HistoryInterval;
  bool DelayVisible = false; // the switch-off delay list is on show
  int DelayItem = -1;        // selected item of the delay list (0 = 5 s .. 5 = 30 s)
  QString Delay;             // text of the delay list
  bool SoundOn = false;
  bool Loud = false;
  bool ButtonBeep = false;
  bool DisplayOffEnabled = false;
  bool Roentgen = false; // unit item 1 selected
  bool ClockCalendar = false;
  int Brightness = BrightnessMin;
  bool ClearHistory = false;
  bool SetActivationTime = false;
};

// What the window shows for a record read from an instrument. The delay list
// selects item d / 5 - 1 (the last one above 30, none below 5) and shows d as
// text whenever the item does not read d; the brightness is brought into 5..15.
ParamsFormValues DeviceParamsToForm(const DEVICE_PARAMS &params, QChar decimalPoint);

// The controls whose values go into the parameter block.
enum class ParamsField { ThresholdDER, ThresholdDE, HistoryInterval, DisplayOffDelay };

// The first field, in the order of the window's pages, whose text cannot be
// read or lies outside what the instrument takes; nothing when all fit or
// when a threshold or the interval is empty (then no parameters are written).
std::optional<ParamsField> UnfitField(const ParamsFormValues &values, QChar decimalPoint);

// The lowest and highest value a field takes, as shown in its edit.
std::pair<QString, QString> FieldRange(ParamsField field, bool roentgen, QChar decimalPoint);

// Fills the record to be written from the controls. When a threshold or the
// interval is empty only the options are taken and the write-parameters flag
// is cleared. False, with the record untouched, when a number cannot be read
// or lies outside what the window lets through.
bool FormToDeviceParams(const ParamsFormValues &values, DEVICE_PARAMS &record, QChar decimalPoint);
