#pragma once
#include <QString>

// Names of people compare without regard to case, in every script ("smith"
// is "Smith", "иванов" is "Иванов"), as the engine of the original desks
// compared them; nothing else is ignored.
inline QString NameKey(const QString &name) {
  return name.toCaseFolded();
}
inline bool SameName(const QString &a, const QString &b) {
  return NameKey(a) == NameKey(b);
}
