#include "history/HistoryOrder.h"

#include <algorithm>
#include <cmath>

namespace {

// A time that can be compared: NaN (which another program may have stored)
// counts as no time, so the order stays a strict one.
std::optional<double> ComparableTime(const StoredEvent &e) {
  if (e.DateTimeEvent && !std::isnan(*e.DateTimeEvent))
    return e.DateTimeEvent;
  return std::nullopt;
}

} // namespace

bool EarlierEvent(const StoredEvent &a, const StoredEvent &b) {
  const std::optional<double> ta = ComparableTime(a), tb = ComparableTime(b);
  if (!tb)
    return bool(ta);
  return ta && *ta < *tb;
}

void PutInTimeOrder(QList<StoredEvent> &history) {
  std::stable_sort(history.begin(), history.end(), EarlierEvent);
}
