#pragma once
#include "import/ExternalDatabase.h"

// A database of this program (SQLite 3), opened read-only through Qt Sql.
class SqliteExternalDatabase final : public ExternalDatabase {
public:
  // head: the file's first bytes (at least its 100-byte header when the file
  // has one); size: the file's size in bytes.
  static std::unique_ptr<ExternalDatabase> open(const QString &path, const QByteArray &head,
                                                qint64 size, QString *error);
  ~SqliteExternalDatabase() override;

  Kind kind() const override { return Kind::Sqlite; }

protected:
  bool readWholeTable(const QString &name, ExternalTable &table) override;

private:
  SqliteExternalDatabase();
  bool openConnection(const QString &path, bool walWithoutLog);
  void applyValueLimit();

  QString connection_;
};
