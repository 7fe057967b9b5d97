#pragma once
// The instrument's side of the command protocol: one reply frame per request.

#include "FaultPlan.h"
#include "InstrumentState.h"

#include <QByteArray>
#include <QString>

// Where one connection stands in a history transfer.
struct HistoryCursor {
  qsizetype offset = 0;
  int blocksSent = 0; // in the transfer under way
  int lastBlock = 0;  // number (from 1) of the block just answered
};

class Instrument {
public:
  Instrument(const InstrumentState &state, const QString &statePath, int blockSize);

  // The reply to a request whose checksum was already checked; empty for a request the
  // instrument does not know (unknown letter or wrong length), which it leaves unanswered.
  // Settings, activation time, history and DE changed by the request are saved before
  // the reply is given. The plan's date fault spoils the activation reply, its
  // number text replaces the number, and its empty blocks replace the history.
  QByteArray answer(const QByteArray &request, HistoryCursor &cursor, const FaultPlan &faults);

  const InstrumentState &state() const { return current; }
  bool save(QString &error) const;

private:
  QByteArray acknowledge(char code) const;
  QByteArray historyBlock(HistoryCursor &cursor, const FaultPlan &faults) const;
  void changed();

  InstrumentState current;
  QString statePath;
  int blockSize;
};
