#pragma once
// Two emptied copies of the supplied database for an import test: the
// program's own (`local`, which the data module `dm` works on) and the file
// that is imported (`other`).
#include <memory>

#include "../history/HistoryTestDb.h"
#include "db/TDM.h"
#include "state/AppState.h"

struct ImportSites {
  std::unique_ptr<HistoryTestDb> local, other;
  std::unique_ptr<AppState> state;
  std::unique_ptr<TDM> dm;

  bool openSites() {
    local = std::make_unique<HistoryTestDb>();
    // The other site is a file, whatever the program's database is.
    other = std::make_unique<HistoryTestDb>(HistoryTestDb::Layout::Current, false);
    if (!local->ok() || !other->ok())
      return false;
    for (HistoryTestDb *db : {local.get(), other.get()})
      if (!db->exec("DELETE FROM TableHistory; DELETE FROM TableUser;"))
        return false;
    state = std::make_unique<AppState>();
    dm = std::make_unique<TDM>(state->clock, local->path());
    return true;
  }
  void closeSites() {
    dm.reset();
    state.reset();
    local.reset();
    other.reset();
  }

  int users() { return local->count(QStringLiteral("TableUser")); }
  int events() { return local->count(QStringLiteral("TableHistory")); }
};
