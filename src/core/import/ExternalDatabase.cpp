#include "import/ExternalDatabase.h"

#include "import/AccessExternalDatabase.h"
#include "import/SqliteExternalDatabase.h"

#include <QFile>
#include <QTemporaryFile>

int ExternalTable::columnIndex(const QString &column) const {
  for (int i = 0; i < columns.size(); ++i) {
    if (columns.at(i).compare(column, Qt::CaseInsensitive) == 0)
      return i;
  }
  return -1;
}

ExternalDatabase::~ExternalDatabase() = default;

bool ExternalDatabase::fail(const QString &message) {
  error_ = message;
  return false;
}

bool ExternalDatabase::readTable(const QString &name, ExternalTable &table,
                                 const QStringList &requiredColumns) {
  table = ExternalTable();
  error_.clear();
  QString exactName;
  for (const QString &t : tables_) {
    if (t.compare(name, Qt::CaseInsensitive) == 0) {
      exactName = t;
      break;
    }
  }
  if (exactName.isEmpty())
    return fail(QStringLiteral("The file has no table %1.").arg(name));

  ExternalTable read;
  read.name = exactName;
  if (!readWholeTable(exactName, read)) {
    if (error_.isEmpty())
      error_ = QStringLiteral("The table %1 cannot be read.").arg(exactName);
    return false;
  }
  for (const QString &column : requiredColumns) {
    if (read.columnIndex(column) < 0)
      return fail(QStringLiteral("The table %1 has no column %2.").arg(exactName, column));
  }
  table = std::move(read);
  return true;
}

bool ReadBudget::add(qint64 bytes) {
  used_ += bytes;
  return used_ <= limits_.maxTableBytes;
}

bool ReadBudget::take(const QVariant &value) {
  qint64 bytes = sizeof(QVariant);
  switch (value.typeId()) {
  case QMetaType::QString:
    bytes += qint64(value.toString().size()) * 2 + 32;
    break;
  case QMetaType::QByteArray:
    bytes += value.toByteArray().size() + 32;
    break;
  default:
    break;
  }
  return add(bytes);
}

bool ReadBudget::takeRow(int columnCount) {
  return add(qint64(sizeof(QVariantList)) + 32 + qint64(columnCount) * qint64(sizeof(QVariant)));
}

ExternalFileKind DetectExternalFileKind(const QByteArray &head) {
  static const QByteArray sqlite("SQLite format 3\0", 16);
  static const QByteArray jetStart("\x00\x01\x00\x00", 4);
  static const QByteArray jet("Standard Jet DB\0", 16);
  static const QByteArray ace("Standard ACE DB\0", 16);
  if (head.startsWith(sqlite))
    return ExternalFileKind::Sqlite;
  if (head.size() >= 20 && head.startsWith(jetStart)) {
    const QByteArray signature = head.mid(4, 16);
    if (signature == jet || signature == ace)
      return ExternalFileKind::Access;
  }
  return ExternalFileKind::Unknown;
}

std::unique_ptr<ExternalDatabase> OpenExternalFile(const QString &path, QString *error) {
  auto failed = [error](const QString &message) {
    if (error)
      *error = message;
    return std::unique_ptr<ExternalDatabase>();
  };
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return failed(QStringLiteral("The file %1 cannot be opened.").arg(path));
  const QByteArray head = file.read(100);
  const qint64 size = file.size();
  file.close();
  if (head.isEmpty())
    return failed(QStringLiteral("The file %1 is empty.").arg(path));

  QString reason;
  std::unique_ptr<ExternalDatabase> db;
  switch (DetectExternalFileKind(head)) {
  case ExternalFileKind::Sqlite:
    db = SqliteExternalDatabase::open(path, head, size, &reason);
    break;
  case ExternalFileKind::Access:
    db = AccessExternalDatabase::open(path, head, size, &reason);
    break;
  case ExternalFileKind::Unknown:
    reason = QStringLiteral("The file %1 is not a database.").arg(path);
    break;
  }
  if (!db)
    return failed(reason);
  if (error)
    error->clear();
  return db;
}

bool ReadExternalDatabaseBytes(const QByteArray &bytes, const ExternalReadLimits &limits) {
  QTemporaryFile file;
  if (!file.open() || file.write(bytes) != bytes.size() || !file.flush())
    return false;
  file.close();
  std::unique_ptr<ExternalDatabase> db = OpenExternalFile(file.fileName());
  if (!db)
    return false;
  db->setLimits(limits);
  bool whole = true;
  const QStringList names = db->tables();
  for (const QString &name : names) {
    ExternalTable table;
    whole = db->readTable(name, table) && whole;
  }
  return whole;
}
