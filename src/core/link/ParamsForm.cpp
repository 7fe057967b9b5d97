#include "link/ParamsForm.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "lang/TextTable.h"

namespace {

// mSv per shown unit: 1 with Sievert, 0.01 with Roentgen (the edits show mR).
double MilliSievertFactor(bool roentgen) {
  return roentgen ? 0.01 : 1.0;
}

// Products such as 0.1 mR x 0.01 land a hair below the limit in binary; the
// limits are compared with a relative margin far below any shown digit.
constexpr double LimitMargin = 1e-9;

bool BelowThresholdRange(double milli) {
  return milli < ThresholdMinMilli * (1 - LimitMargin);
}
bool AboveThresholdRange(double milli) {
  return milli > ThresholdMaxMilli * (1 + LimitMargin);
}

bool IsDigit(QChar c) {
  return c >= u'0' && c <= u'9';
}

QString LimitText(const char *whole, const char *fraction, QChar decimalPoint) {
  return QLatin1String(whole) + decimalPoint + QLatin1String(fraction);
}

// The decimal number a single-precision field stands for: 0.0001f is taken as
// 0.0001, not as 0.000099999997, so that it shows as 0.100 mSv/h.
double DecimalValueOf(float value) {
  if (!std::isfinite(value))
    return double(value);
  char text[32];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value);
  double decimal = double(value);
  if (error == std::errc())
    std::from_chars(text, end, decimal);
  return decimal;
}

} // namespace

QString FormatThreshold(double x, QChar decimalPoint) {
  QString text;
  if (x >= 0.1)
    text = QString::number(x, 'f', 3);
  else if (x >= 0.001)
    text = QString::number(x, 'f', 6);
  else
    text = QString::number(x, 'e', 3).replace(u'e', u'E');
  return text.replace(u'.', decimalPoint);
}

std::optional<double> ReadDecimal(const QString &text, QChar separator) {
  const QString t = text.trimmed();
  qsizetype i = 0;
  const qsizetype n = t.size();
  std::string number; // the same number in the form from_chars reads
  bool negative = false;
  if (i < n && (t[i] == u'-' || t[i] == u'+')) {
    negative = t[i] == u'-';
    ++i;
  }
  int digits = 0;
  int wholeDigits = 0; // significant digits before the separator
  for (; i < n && IsDigit(t[i]); ++i, ++digits) {
    if (wholeDigits > 0 || t[i] != u'0')
      ++wholeDigits;
    number += char(t[i].unicode());
  }
  int leadingFractionZeros = 0;
  bool significant = wholeDigits > 0;
  if (i < n && t[i] == separator) {
    number += '.';
    for (++i; i < n && IsDigit(t[i]); ++i, ++digits) {
      if (!significant && t[i] == u'0')
        ++leadingFractionZeros;
      else
        significant = true;
      number += char(t[i].unicode());
    }
  }
  if (digits == 0)
    return std::nullopt;
  std::int64_t exponent = 0;
  if (i < n && (t[i] == u'e' || t[i] == u'E')) {
    number += 'e';
    ++i;
    if (i < n && (t[i] == u'-' || t[i] == u'+'))
      number += char(t[i++].unicode());
    int exponentDigits = 0;
    for (; i < n && IsDigit(t[i]); ++i, ++exponentDigits)
      number += char(t[i].unicode());
    if (exponentDigits == 0)
      return std::nullopt;
    const auto e = ReadInteger(t.mid(t.indexOf(u'e', 0, Qt::CaseInsensitive) + 1));
    exponent = e ? *e : 0;
  }
  if (i != n)
    return std::nullopt;

  double value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (end != number.data() + number.size())
    return std::nullopt;
  if (error == std::errc::result_out_of_range) {
    // Too large or too small for a double: which one follows from the
    // position of the first significant digit.
    const std::int64_t magnitude =
        wholeDigits > 0 ? exponent + wholeDigits : exponent - leadingFractionZeros;
    value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (error != std::errc()) {
    return std::nullopt;
  }
  return negative ? -std::abs(value) : std::abs(value);
}

std::optional<std::int64_t> ReadInteger(const QString &text) {
  const QString t = text.trimmed();
  qsizetype i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) {
    negative = t[i] == u'-';
    ++i;
  }
  if (i == t.size())
    return std::nullopt;
  constexpr std::int64_t limit = std::numeric_limits<std::int64_t>::max();
  std::int64_t value = 0;
  for (; i < t.size(); ++i) {
    if (!IsDigit(t[i]))
      return std::nullopt;
    const int digit = t[i].unicode() - u'0';
    value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
  }
  return negative ? -value : value;
}

bool IsNumberBeginning(const QString &text, QChar separator) {
  const QString t = text.trimmed();
  qsizetype i = 0;
  const qsizetype n = t.size();
  if (i < n && (t[i] == u'-' || t[i] == u'+'))
    ++i;
  int digits = 0;
  for (; i < n && IsDigit(t[i]); ++i)
    ++digits;
  if (i < n && t[i] == separator)
    for (++i; i < n && IsDigit(t[i]); ++i)
      ++digits;
  if (i < n && (t[i] == u'e' || t[i] == u'E') && digits > 0) {
    ++i;
    if (i < n && (t[i] == u'-' || t[i] == u'+'))
      ++i;
    while (i < n && IsDigit(t[i]))
      ++i;
  }
  return i == n && !t.isEmpty();
}

QString CheckThresholdText(const QString &text, QChar decimalPoint, bool typing) {
  QString t = text;
  for (qsizetype i = 0; i < t.size(); ++i)
    if ((t[i] == u',' || t[i] == u'.') && t[i] != decimalPoint) {
      t[i] = decimalPoint;
      break;
    }
  if (ReadDecimal(t, decimalPoint))
    return t;
  return typing && IsNumberBeginning(t, decimalPoint) ? t : QString();
}

QString CheckIntervalText(const QString &text) {
  if (text.isEmpty())
    return text;
  return ReadInteger(text) ? text : QString();
}

bool DelayTextAccepted(const QString &text) {
  const auto value = ReadInteger(text);
  return value && *value >= 0 && *value <= DisplayOffDelayMax;
}

std::optional<QString> ConvertThresholdText(const QString &text, bool toRoentgen,
                                            QChar decimalPoint) {
  QChar separator = u'.';
  if (text.contains(u','))
    separator = u',';
  else if (!text.contains(u'.'))
    for (QChar c : text.trimmed())
      if (!IsDigit(c) && c != u'e' && c != u'E' && c != u'-') {
        separator = c;
        break;
      }
  const auto value = ReadDecimal(text, separator);
  if (!value)
    return std::nullopt;
  return FormatThreshold(*value * (toRoentgen ? 100.0 : 0.01), decimalPoint);
}

std::uint32_t BrightnessColor(int position) {
  const std::uint32_t base = position <= 12 ? 0x055800u : 0x13477Au;
  return std::uint32_t(position) * 0xB00u + base;
}

QString ThresholdLabel(const TextTable &texts, bool rate, bool roentgen) {
  const int name = rate ? 243 : 250;
  const int unit = rate ? (roentgen ? 248 : 245) : (roentgen ? 255 : 252);
  return texts.at(name) + QStringLiteral(", ") + texts.at(unit);
}

ParamsFormValues DeviceParamsToForm(const DEVICE_PARAMS &params, QChar decimalPoint) {
  ParamsFormValues v;
  v.HistoryInterval = QString::number(params.HistoryInterval);
  v.SoundOn = params.SoundOn;
  v.Loud = params.Loud;
  v.ButtonBeep = params.ButtonBeep;
  v.DisplayOffEnabled = params.DisplayOffEnabled;
  v.DelayVisible = params.DisplayOffEnabled;

  const int d = params.DisplayOffDelay;
  v.DelayItem = d > DisplayOffDelayMax ? DisplayOffDelayItems - 1 : d / DisplayOffDelayStep - 1;
  // The item's own text reads d when d is one of the offered values; any other
  // delay (12, 45, and also 0 to 4, which no item stands for) is shown as it is.
  v.Delay = QString::number(d);
  v.Brightness = std::clamp<int>(params.Brightness, BrightnessMin, BrightnessMax);
  v.ClockCalendar = params.ClockCalendar;

  v.Roentgen = !params.UnitSievert;
  const double toShown = v.Roentgen ? 100000.0 : 1000.0;
  v.ThresholdDER = FormatThreshold(DecimalValueOf(params.DerThreshold) * toShown, decimalPoint);
  v.ThresholdDE = FormatThreshold(DecimalValueOf(params.DeThreshold) * toShown, decimalPoint);
  return v;
}

std::optional<ParamsField> UnfitField(const ParamsFormValues &values, QChar decimalPoint) {
  if (values.ThresholdDER.trimmed().isEmpty() || values.ThresholdDE.trimmed().isEmpty() ||
      values.HistoryInterval.trimmed().isEmpty())
    return std::nullopt;
  const auto interval = ReadInteger(values.HistoryInterval);
  if (!interval || *interval < HistoryIntervalMin || *interval > HistoryIntervalMax)
    return ParamsField::HistoryInterval;
  const double factor = MilliSievertFactor(values.Roentgen);
  const auto fits = [&](const QString &text) {
    const auto shown = ReadDecimal(text, decimalPoint);
    if (!shown)
      return false;
    const double milli = *shown * factor;
    return std::isfinite(milli) && !BelowThresholdRange(milli) && !AboveThresholdRange(milli);
  };
  if (!fits(values.ThresholdDER))
    return ParamsField::ThresholdDER;
  if (!fits(values.ThresholdDE))
    return ParamsField::ThresholdDE;
  if (values.DelayVisible) {
    const auto delay = ReadInteger(values.Delay);
    if (!delay || *delay < 0 || *delay > std::numeric_limits<std::uint16_t>::max())
      return ParamsField::DisplayOffDelay;
  }
  return std::nullopt;
}

std::pair<QString, QString> FieldRange(ParamsField field, bool roentgen, QChar decimalPoint) {
  switch (field) {
  case ParamsField::ThresholdDER:
  case ParamsField::ThresholdDE:
    return roentgen ? std::pair{LimitText("0", "1", decimalPoint), QStringLiteral("1000000")}
                    : std::pair{LimitText("0", "001", decimalPoint), QStringLiteral("10000")};
  case ParamsField::HistoryInterval:
    return {QString::number(HistoryIntervalMin), QString::number(HistoryIntervalMax)};
  case ParamsField::DisplayOffDelay:
    break;
  }
  return {QStringLiteral("0"), QString::number(std::numeric_limits<std::uint16_t>::max())};
}

bool FormToDeviceParams(const ParamsFormValues &values, DEVICE_PARAMS &record, QChar decimalPoint) {
  DEVICE_PARAMS r = record;
  const bool complete = !values.ThresholdDER.trimmed().isEmpty() &&
                        !values.ThresholdDE.trimmed().isEmpty() &&
                        !values.HistoryInterval.trimmed().isEmpty();
  r.DoWriteParams = false;
  if (complete) {
    if (UnfitField(values, decimalPoint))
      return false;
    const double der = *ReadDecimal(values.ThresholdDER, decimalPoint);
    const double de = *ReadDecimal(values.ThresholdDE, decimalPoint);
    const double factor = MilliSievertFactor(values.Roentgen);
    const auto interval = ReadInteger(values.HistoryInterval);
    if (values.DelayVisible)
      r.DisplayOffDelay = std::uint16_t(*ReadInteger(values.Delay));
    // Sv/h and Sv: the shown milli-units times 0.001, and mR to mSv by 0.01.
    r.DerThreshold = float(der * 0.001 * factor);
    r.DeThreshold = float(de * 0.001 * factor);
    r.HistoryInterval = std::uint16_t(*interval);
    r.DoWriteParams = true;
  }
  r.SoundOn = values.SoundOn;
  r.Loud = values.Loud;
  r.ButtonBeep = values.ButtonBeep;
  r.DisplayOffEnabled = values.DisplayOffEnabled;
  r.UnitSievert = !values.Roentgen;
  r.ClockCalendar = values.ClockCalendar;
  r.Brightness = std::uint16_t(std::clamp(values.Brightness, BrightnessMin, BrightnessMax));
  r.DoClearHistory = values.ClearHistory;
  r.DoSetActivationTime = values.SetActivationTime;
  record = r;
  return true;
}
