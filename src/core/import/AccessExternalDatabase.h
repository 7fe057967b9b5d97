#pragma once
#include "import/ExternalDatabase.h"

// An Access (Jet) file of the program's earlier installations, read-only.
class AccessExternalDatabase final : public ExternalDatabase {
public:
  // head: the file's first bytes (at least 21); size: the file's size in bytes.
  static std::unique_ptr<ExternalDatabase> open(const QString &path, const QByteArray &head,
                                                qint64 size, QString *error);
  ~AccessExternalDatabase() override;

  Kind kind() const override { return Kind::Access; }

protected:
  bool readWholeTable(const QString &name, ExternalTable &table) override;

private:
  struct File;
  explicit AccessExternalDatabase(std::unique_ptr<File> file);

  std::unique_ptr<File> file_;
};
