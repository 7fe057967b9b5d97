#pragma once
#include <QString>
#include <optional>

// The levels a person's dose is held against, in Sv, as the settings keep
// them ([Dose limits] of VX4418.ini).
struct DoseLimits {
  double InvestigationLevel = 0.006; // a year's dose over it is looked into
  double AnnualLimit = 0.020;        // a calendar year
  double FiveYearLimit = 0.100;      // five calendar years

  bool operator==(const DoseLimits &) const = default;
};

// A dose in Sv as the settings file or the operator gives it: a point, a
// comma or the locale's decimal separator, blanks around it; nullopt for
// anything but a number above 0.
std::optional<double> TypedDose(const QString &text);

// How a person's doses stand against the limits. A dose is over a level when
// it is above it; reaching it exactly is not over it.
enum class DoseMark {
  None,
  OverInvestigationLevel, // the year's dose, below both limits
  OverLimit               // the year's dose over the annual limit or five years over theirs
};

inline DoseMark MarkOf(double yearDose, double fiveYearDose, const DoseLimits &limits) {
  if (yearDose > limits.AnnualLimit || fiveYearDose > limits.FiveYearLimit)
    return DoseMark::OverLimit;
  if (yearDose > limits.InvestigationLevel)
    return DoseMark::OverInvestigationLevel;
  return DoseMark::None;
}
