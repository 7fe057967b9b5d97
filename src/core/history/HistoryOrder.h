#pragma once
#include "db/StoredEvent.h"

#include <QList>

// The order a person's history is shown and printed in: by the time of each
// event, events of one time in the order they were filed (the order the store
// gives them). Events without a usable time go last, in the order they came.
void PutInTimeOrder(QList<StoredEvent> &history);

// True when `a` comes before `b` in that order by time alone.
bool EarlierEvent(const StoredEvent &a, const StoredEvent &b);
