#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

// One table of another database file, read whole. Every row has one value per
// column, in column order. A NULL stays a null QVariant(); other values are
// qint64 (integers), double (reals, and date/time columns as the stored day
// count since 30 December 1899, unrounded; before that day the whole days count
// back while the time of day still counts forward, as Access keeps them),
// bool (yes/no columns), QString (text, memo, and currency and decimal columns
// as exact decimal text) or QByteArray (binary). An SQLite file gives each
// value as it stores it.
struct ExternalTable {
  QString name;
  QStringList columns;
  QList<QVariantList> rows;

  // Position of a column, matched without regard to case; -1 when absent.
  int columnIndex(const QString &column) const;
};

// How much one read may take. A table whose values would need more memory than
// maxTableBytes, or one value (memo, picture, blob) larger than maxValueBytes,
// is refused instead of read.
struct ExternalReadLimits {
  qint64 maxTableBytes = qint64(512) << 20;
  qint64 maxValueBytes = qint64(16) << 20;
};

// Another database file opened read-only for the import: a database of this
// program or an Access file of an earlier installation. Open one with
// OpenExternalFile. Operations return false on failure and leave the reason in
// errorString(); nothing here throws or writes to the file.
class ExternalDatabase {
public:
  enum class Kind { Sqlite, Access };

  virtual ~ExternalDatabase();
  ExternalDatabase(const ExternalDatabase &) = delete;
  ExternalDatabase &operator=(const ExternalDatabase &) = delete;

  virtual Kind kind() const = 0;

  // The user tables of the file, in the file's own order.
  QStringList tables() const { return tables_; }

  // Reads the table called name (matched without regard to case) whole. Fails
  // when the table is missing, lacks one of requiredColumns, holds a row that
  // cannot be read, or exceeds the limits; table is then left empty.
  bool readTable(const QString &name, ExternalTable &table,
                 const QStringList &requiredColumns = {});

  const QString &errorString() const { return error_; }

  void setLimits(const ExternalReadLimits &limits) { limits_ = limits; }
  const ExternalReadLimits &limits() const { return limits_; }

protected:
  ExternalDatabase() = default;

  // Reads the table whose exact name is one of tables() into table.
  virtual bool readWholeTable(const QString &name, ExternalTable &table) = 0;

  bool fail(const QString &message);

  QStringList tables_;

private:
  QString error_;
  ExternalReadLimits limits_;
};

// Keeps the estimated memory of a table being read within the limits.
class ReadBudget {
public:
  explicit ReadBudget(const ExternalReadLimits &limits) : limits_(limits) {}

  // Counts one value; false once the table is too large.
  bool take(const QVariant &value);
  // Counts the bookkeeping of one row of the given width.
  bool takeRow(int columnCount);

private:
  bool add(qint64 bytes);

  ExternalReadLimits limits_;
  qint64 used_ = 0;
};

// Which kind of file the first bytes of a file announce: "SQLite format 3" or
// the Jet/ACE signature. Anything else is neither.
enum class ExternalFileKind { Unknown, Sqlite, Access };
ExternalFileKind DetectExternalFileKind(const QByteArray &head);

// Opens the file read-only with the reader its content calls for. Returns
// nullptr, with the reason in *error when given, for a missing, empty,
// truncated or unreadable file, or one that is no database of either kind.
std::unique_ptr<ExternalDatabase> OpenExternalFile(const QString &path, QString *error = nullptr);

// Reads a whole file given as bytes (through a temporary file): opens it and
// reads every table. True when everything could be read. For fuzzing and tests.
bool ReadExternalDatabaseBytes(const QByteArray &bytes, const ExternalReadLimits &limits = {});
