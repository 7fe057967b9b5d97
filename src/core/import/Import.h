#pragma once
#include <QString>
#include <memory>

#include "import/ExternalDatabase.h"

// The other database file of an import, as the data module keeps it between
// imports: the file and its two tables, read whole.
struct ExternalConnection {
  QString ConnectionString;
  std::unique_ptr<ExternalDatabase> File;
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
