#include "db/TDM.h"

#include "state/Clock.h"

TDM::TDM(std::shared_ptr<const Clock> clock, const QString &databaseFile, QObject *parent)
    : QObject(parent), journal_(connection_, clock), people_(connection_, clock, journal_),
      history_(connection_, people_, journal_) {
  connection_.SetLocation(databaseFile);
}

TDM::~TDM() = default;
