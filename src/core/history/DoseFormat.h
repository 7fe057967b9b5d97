#pragma once
#include <QString>

class TextTable;

// The text of a dose value for the operator. value is in Sv/h when rate is true
// and in Sv otherwise; roentgen shows it in roentgen (1 Sv = 100 R) instead of
// sievert. The prefix follows the size of the converted value:
//   0.1 and above    no prefix, three decimals    (0.250 Sv/h)
//   0.001 to 0.1     milli, three decimals        (12.000 mSv)
//   1e-7 to 0.001    micro, three decimals        (500.000 uSv/h)
//   below 1e-7       micro, five decimals         (0.00000 uSv; also every negative value)
// The number has no thousands separators and the decimal separator of the
// default locale; the unit name follows after one blank and is read from texts
// at every call, so it follows the language in use.
QString FormatDose(double value, bool roentgen, bool rate, const TextTable &texts);

// A dose for a chart's axis: in mSv, or in mR when roentgen; the name of that
// unit in the language in use.
double MilliDose(double sievert, bool roentgen);
QString MilliDoseUnit(bool roentgen, const TextTable &texts);
