#pragma once
#include "import/ExternalDatabase.h"

#include <functional>

// An Access (Jet) file read in this process with mdbtools' library. The
// library trusts the file's structure, so AccessExternalDatabase runs this in
// a separate process; nothing else should use it directly.
class AccessFile {
public:
  AccessFile();
  ~AccessFile();
  AccessFile(const AccessFile &) = delete;
  AccessFile &operator=(const AccessFile &) = delete;

  // Opens the file read-only and reads its list of tables.
  bool open(const QString &path, QString *error);

  // The user tables, in the file's own order.
  const QStringList &tables() const { return tables_; }

  // Reads the table with this exact name: columns first, then each row in
  // turn. Stops with false when a row cannot be read, the limits are passed or
  // row returns false.
  bool readTable(const QString &name, const ExternalReadLimits &limits, QStringList &columns,
                 const std::function<bool(QVariantList &&)> &row, QString *error);

private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
  QStringList tables_;
};
