#include "import/AccessFile.h"

#include <QFile>
#include <QtEndian>
#include <mdbtools.h>
#include <vector>

namespace {

constexpr int RowOffsetMask = 0x1fff;
constexpr int LongValueHeader = 12; // length with flags, then the page and row of the data

// Text as the file stores it (Jet 3 code page, or UCS-2 possibly compressed)
// converted to UTF-8 by the library.
QString JetText(MdbHandle *mdb, const void *data, int size) {
  if (size <= 0)
    return QLatin1String("");
  QByteArray out(qsizetype(size) * 3 + 8, Qt::Uninitialized);
  const int n = mdb_unicode2ascii(mdb, static_cast<const char *>(data), size_t(size), out.data(),
                                  size_t(out.size() - 1));
  return QString::fromUtf8(out.constData(), qBound(qsizetype(0), qsizetype(n), out.size() - 1));
}

QString TakeLibraryText(char *text) {
  QString result = text ? QString::fromUtf8(text) : QString();
  g_free(text);
  return result;
}

// The bytes of a memo or OLE value: inline in the row, on one other page, or
// chained over several pages. False for a damaged value or one over maxBytes.
bool ReadLongValue(MdbHandle *mdb, int start, int size, qint64 maxBytes, QByteArray &out) {
  out.clear();
  if (size == 0)
    return true;
  if (size < LongValueHeader)
    return false;
  const uchar *header = mdb->pg_buf + start;
  const quint32 length = qFromLittleEndian<quint32>(header);
  qint32 pageRow = qFromLittleEndian<qint32>(header + 4);
  if (length & 0x80000000u) {
    out = QByteArray(reinterpret_cast<const char *>(header) + LongValueHeader,
                     size - LongValueHeader);
    return out.size() <= maxBytes;
  }
  void *buf = nullptr;
  int offset = 0;
  size_t len = 0;
  if (length & 0x40000000u) {
    if (mdb_find_pg_row(mdb, pageRow, &buf, &offset, &len) != 0 || qint64(len) > maxBytes)
      return false;
    out = QByteArray(static_cast<const char *>(buf) + offset, qsizetype(len));
    return true;
  }
  if (length & 0xff000000u)
    return false;
  if (qint64(length) > maxBytes)
    return false;
  out.reserve(qsizetype(length));
  // Each link carries the next link and at least one byte, so the walk ends.
  while (pageRow != 0) {
    if (mdb_find_pg_row(mdb, pageRow, &buf, &offset, &len) != 0 || len <= 4)
      return false;
    const auto *link = static_cast<const uchar *>(buf) + offset;
    if (quint64(out.size()) + (len - 4) > length)
      return false;
    out.append(reinterpret_cast<const char *>(link) + 4, qsizetype(len - 4));
    pageRow = qFromLittleEndian<qint32>(link);
  }
  return quint32(out.size()) == length;
}

// Bytes a stored value of a fixed-size type needs; 0 for the others.
int StoredSize(int type) {
  switch (type) {
  case MDB_BYTE:
    return 1;
  case MDB_INT:
    return 2;
  case MDB_LONGINT:
  case MDB_COMPLEX:
  case MDB_FLOAT:
    return 4;
  case MDB_DOUBLE:
  case MDB_DATETIME:
  case MDB_MONEY:
    return 8;
  case MDB_REPID:
    return 16;
  case MDB_NUMERIC:
    return 17; // sign byte and 16 bytes of digits
  default:
    return 0;
  }
}

// One value of the row the library cracked into field, from the current page.
bool ReadValue(MdbHandle *mdb, const MdbColumn *col, const MdbField &field, qint64 maxValueBytes,
               QVariant &value) {
  value = QVariant();
  if (col->col_type == MDB_BOOL) {
    value = !field.is_null; // a yes/no value lives in the row's null mask
    return true;
  }
  if (field.is_null)
    return true;
  const int start = field.start;
  const int size = field.siz;
  if (start < 0 || size < StoredSize(col->col_type) || start + size > int(mdb->fmt->pg_size))
    return false;
  const uchar *data = mdb->pg_buf + start;
  switch (col->col_type) {
  case MDB_BYTE:
    value = qint64(data[0]);
    return true;
  case MDB_INT:
    value = qint64(qFromLittleEndian<qint16>(data));
    return true;
  case MDB_LONGINT:
  case MDB_COMPLEX:
    value = qint64(qFromLittleEndian<qint32>(data));
    return true;
  case MDB_FLOAT:
    value = double(qFromLittleEndian<float>(data));
    return true;
  case MDB_DOUBLE:
  case MDB_DATETIME: // the day count, exactly as stored
    value = qFromLittleEndian<double>(data);
    return true;
  case MDB_MONEY:
    value = TakeLibraryText(mdb_money_to_string(mdb, start));
    return true;
  case MDB_NUMERIC:
    value = TakeLibraryText(mdb_numeric_to_string(mdb, start, col->col_scale, col->col_prec));
    return true;
  case MDB_REPID:
    value = TakeLibraryText(mdb_uuid_to_string(mdb->pg_buf, start));
    return true;
  case MDB_TEXT:
    value = JetText(mdb, data, size);
    return true;
  case MDB_MEMO:
  case MDB_OLE: {
    QByteArray bytes;
    if (!ReadLongValue(mdb, start, size, maxValueBytes, bytes))
      return false;
    if (col->col_type == MDB_MEMO)
      value = JetText(mdb, bytes.constData(), int(bytes.size()));
    else
      value = bytes;
    return true;
  }
  default:
    value = QByteArray(reinterpret_cast<const char *>(data), size);
    return true;
  }
}

} // namespace

struct AccessFile::Handle {
  MdbHandle *mdb = nullptr;
  QList<MdbCatalogEntry *> entries; // the user tables, beside tables_

  ~Handle() {
    if (mdb)
      mdb_close(mdb);
  }
};

AccessFile::AccessFile() : handle_(std::make_unique<Handle>()) {}

AccessFile::~AccessFile() = default;

bool AccessFile::open(const QString &path, QString *error) {
  MdbHandle *mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
  handle_->mdb = mdb;
  if (!mdb || !mdb_read_catalog(mdb, MDB_TABLE)) {
    *error = QStringLiteral("The Access database cannot be read.");
    return false;
  }
  for (unsigned int i = 0; i < mdb->num_catalog && i < mdb->catalog->len; ++i) {
    auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
    if (!entry || !mdb_is_user_table(entry))
      continue;
    tables_ << QString::fromUtf8(entry->object_name);
    handle_->entries << entry;
  }
  return true;
}

bool AccessFile::readTable(const QString &name, const ExternalReadLimits &limits,
                           QStringList &columnNames,
                           const std::function<bool(QVariantList &&)> &takeRow, QString *error) {
  auto fail = [error](const QString &message) {
    *error = message;
    return false;
  };
  MdbHandle *mdb = handle_->mdb;
  const qsizetype at = tables_.indexOf(name);
  if (!mdb || at < 0)
    return fail(QStringLiteral("The file has no table %1.").arg(name));
  MdbTableDef *def = mdb_read_table(handle_->entries.at(at));
  if (!def)
    return fail(QStringLiteral("The table %1 cannot be read.").arg(name));
  struct Release {
    MdbTableDef *def;
    ~Release() { mdb_free_tabledef(def); }
  } release{def};
  if (!mdb_read_columns(def) || !def->columns || def->columns->len != def->num_cols)
    return fail(QStringLiteral("The columns of table %1 cannot be read.").arg(name));

  const int width = int(def->num_cols);
  std::vector<MdbColumn *> columns(size_t(width), nullptr);
  columnNames.clear();
  for (int i = 0; i < width; ++i) {
    columns[size_t(i)] = static_cast<MdbColumn *>(g_ptr_array_index(def->columns, guint(i)));
    columnNames << QString::fromUtf8(columns[size_t(i)]->name);
  }

  const QString unreadable = QStringLiteral("A row of table %1 cannot be read.").arg(name);
  const QString tooLarge = QStringLiteral("The table %1 is too large to import.").arg(name);
  ReadBudget budget(limits);
  std::vector<MdbField> fields(size_t(qMax(width, 1)));
  quint64 rowsRead = 0;
  mdb_rewind_table(def);
  while (mdb_fetch_row(def)) {
    // The library has just read this row of the current page; read its
    // fields again to tell NULL from empty and to reach the stored bytes.
    int rowStart = 0;
    size_t rowSize = 0;
    if (mdb_find_row(mdb, int(def->cur_row) - 1, &rowStart, &rowSize) != 0 ||
        mdb_crack_row(def, rowStart & RowOffsetMask, rowSize, fields.data()) < 0)
      return fail(unreadable);
    if (!budget.takeRow(width))
      return fail(tooLarge);

    QVariantList row(width);
    for (int i = 0; i < width; ++i) {
      const MdbField &field = fields[size_t(i)];
      if (field.colnum < 0 || field.colnum >= width)
        return fail(unreadable);
      QVariant value;
      if (!ReadValue(mdb, columns[size_t(field.colnum)], field, limits.maxValueBytes, value))
        return fail(unreadable);
      if (!budget.take(value))
        return fail(tooLarge);
      row[field.colnum] = std::move(value);
    }
    ++rowsRead;
    if (!takeRow(std::move(row)))
      return fail(tooLarge);
  }
  // The table's definition counts its rows; fewer means some could not be read.
  if (rowsRead < quint64(def->num_rows))
    return fail(unreadable);
  return true;
}
