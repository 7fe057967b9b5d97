#include "history/DoseFormat.h"

#include <QLocale>
#include <algorithm>

#include "lang/TextTable.h"

namespace {

enum Prefix { Micro = 0, Milli = 1, NoPrefix = 2 };

// Text entries of the unit names, by system, kind and prefix.
constexpr int UnitEntries[2][2][3] = {
    {{251, 252, 253}, {244, 245, 246}}, // sievert: dose, rate
    {{254, 255, 256}, {247, 248, 249}}, // roentgen: dose, rate
};

// number rounded to a fixed count of decimals, with the locale's decimal
// separator and no grouping. A value that rounds to zero shows no minus sign.
QString FixedDecimals(double number, int decimals) {
  QString text = QString::number(number, 'f', decimals);
  if (text.startsWith(u'-') &&
      std::all_of(text.cbegin() + 1, text.cend(), [](QChar c) { return c == u'0' || c == u'.'; }))
    text.remove(0, 1);
  text.replace(u'.', QLocale().decimalPoint());
  return text;
}

} // namespace

QString FormatDose(double value, bool roentgen, bool rate, const TextTable &texts) {
  const double b = roentgen ? value * 100.0 : value;
  Prefix prefix = Micro;
  double number = b * 1000000.0;
  int decimals = 3;
  if (b >= 0.1) {
    prefix = NoPrefix;
    number = b;
  } else if (b >= 0.001) {
    prefix = Milli;
    number = b * 1000.0;
  } else if (!(b >= 1e-7)) {
    decimals = 5;
  }
  return FixedDecimals(number, decimals) + u' ' +
         texts.at(UnitEntries[roentgen ? 1 : 0][rate ? 1 : 0][prefix]);
}

double MilliDose(double sievert, bool roentgen) {
  return (roentgen ? sievert * 100.0 : sievert) * 1000.0;
}

QString MilliDoseUnit(bool roentgen, const TextTable &texts) {
  return texts.at(UnitEntries[roentgen ? 1 : 0][0][Milli]);
}
