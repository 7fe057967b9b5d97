#pragma once
#include <QString>

#include "import/ExternalDatabase.h"

// The other database file last opened with TDM::OpenExternalDatabase: its two
// tables, read whole.
struct ExternalConnection {
  QString ConnectionString;
  ExternalTable ADOTableUserExternal;
  ExternalTable ADOTableHistoryExternal;
};

// A person's three names as the import compares them: exactly as texts, with
// a NULL name equal to an empty one.
struct PersonName {
  QString Second;
  QString First;
  QString Middle;

  bool operator==(const PersonName &) const = default;
};
size_t qHash(const PersonName &name, size_t seed = 0);
