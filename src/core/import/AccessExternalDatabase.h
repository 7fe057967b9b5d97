#pragma once
#include "import/ExternalDatabase.h"

// An Access (Jet) file of the program's earlier installations, read-only.
// Every read of the file runs apart from the program (see RunIsolated), so a
// damaged file that upsets the reading library gives an error, not a crash.
class AccessExternalDatabase final : public ExternalDatabase {
public:
  // head: the file's first bytes (at least 21); size: the file's size in bytes.
  static std::unique_ptr<ExternalDatabase> open(const QString &path, const QByteArray &head,
                                                qint64 size, QString *error);

  Kind kind() const override { return Kind::Access; }

protected:
  bool readWholeTable(const QString &name, ExternalTable &table) override;

private:
  explicit AccessExternalDatabase(const QString &path) : path_(path) {}

  QString path_;
};
