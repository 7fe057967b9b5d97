#pragma once
#include <optional>

// What a person's history shows of a year besides dose.
struct PersonActivity {
  std::optional<double> HighestRate; // Sv/h: the highest of the year's gamma and time alarms
  int Alarms = 0;                    // the year's alarms (codes 1, 2, 3, 7 and 8)
  std::optional<double> LastReading; // day count of the latest event, registrations aside
  bool operator==(const PersonActivity &) const = default;
};
