#include "db/TDM.h"

#include "state/Clock.h"

TDM::TDM(std::shared_ptr<const Clock> clock, const QString &databaseFile, QObject *parent)
    : QObject(parent), people_(connection_, std::move(clock)), history_(connection_, people_) {
  connection_.SetLocation(databaseFile);
}

TDM::~TDM() = default;
