#pragma once
#include <QString>

#include "exchange/ExchangeResult.h"

class TextTable;

// What the exchange window tells the operator about an attempt, in the
// language of the texts.

// Why an attempt that did not finish failed: nothing in range, a refused
// connection, the link lost during the history, an instrument that stopped
// answering, and so on. Empty for an attempt that finished.
QString FailedAttemptCause(const ExchangeResult &result, const TextTable &texts);

// "Attempt 3 failed".
QString FailedAttemptText(int attempts, const TextTable &texts);

// After a reading: how many events were filed under whom, or that none were
// because nobody holds the instrument. Empty for anything but a finished
// reading.
QString FilingSummary(const ExchangeResult &result, const TextTable &texts);
