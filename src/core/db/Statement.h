#pragma once
#include <QString>
#include <QVariantMap>

#include "history/HistoryFilter.h"

// A statement's text with the values bound to its named parameters.
struct Statement {
  QString text;
  QVariantMap params; // ":Name" -> value
};

// The events of one person narrowed by the criteria, every value bound:
// dates as day counts, the instrument and each event code as integers.
Statement HistorySelect(qint32 userId, const HistoryCriteria &criteria);
