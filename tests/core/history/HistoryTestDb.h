#pragma once
// A private copy of the supplied database for one test, reached directly
// through SQLite to set up rows and look at what the program wrote.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <QtEndian>
#include <cstring>
#include <sqlite3.h>

class HistoryTestDb {
public:
  HistoryTestDb() {
    path_ = dir_.filePath(QStringLiteral("dbVX4418.db"));
    ok_ = dir_.isValid() && QFile::copy(QStringLiteral(VX_SUPPLIED_DB), path_);
    QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner);
  }
  ~HistoryTestDb() {
    if (db_)
      sqlite3_close(db_);
  }
  bool ok() const { return ok_; }
  const QString &path() const { return path_; }
  QString dirPath() const { return dir_.path(); }

  // Runs statements; false on any error.
  bool exec(const QString &sql) {
    return sqlite3_exec(handle(), sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  // Every row of a select, each cell as a QVariant (NULL as an invalid one).
  QList<QVariantList> rows(const QString &sql) {
    QList<QVariantList> out;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(handle(), sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
      return out;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      QVariantList row;
      for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
        switch (sqlite3_column_type(stmt, c)) {
        case SQLITE_INTEGER:
          row << qlonglong(sqlite3_column_int64(stmt, c));
          break;
        case SQLITE_FLOAT:
          row << sqlite3_column_double(stmt, c);
          break;
        case SQLITE_NULL:
          row << QVariant();
          break;
        default:
          row << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, c)),
                                   sqlite3_column_bytes(stmt, c));
        }
      }
      out << row;
    }
    sqlite3_finalize(stmt);
    return out;
  }
  QVariant scalar(const QString &sql) {
    const auto r = rows(sql);
    return r.isEmpty() || r.first().isEmpty() ? QVariant() : r.first().first();
  }
  int count(const QString &table, const QString &where = {}) {
    return scalar("SELECT COUNT(*) FROM " + table + (where.isEmpty() ? "" : " WHERE " + where))
        .toInt();
  }

private:
  sqlite3 *handle() {
    if (!db_)
      sqlite3_open_v2(path_.toUtf8().constData(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    return db_;
  }

  QTemporaryDir dir_;
  QString path_;
  bool ok_ = false;
  sqlite3 *db_ = nullptr;
};

// One raw history record as an instrument writes it.
struct RawRecord {
  int day = 1, month = 1, year = 24, hour = 0, minute = 0, kind = 16;
  float rate = 0;
  quint16 channel = 0;
  float dose = 0;
  quint32 extra = 0;

  QByteArray bytes() const {
    QByteArray b(20, '\0');
    auto *p = reinterpret_cast<uchar *>(b.data());
    p[0] = uchar(day), p[1] = uchar(month), p[2] = uchar(year), p[3] = uchar(hour),
    p[4] = uchar(minute), p[5] = uchar(kind);
    quint32 bits;
    std::memcpy(&bits, &rate, 4);
    qToLittleEndian(bits, p + 6);
    qToLittleEndian(channel, p + 10);
    std::memcpy(&bits, &dose, 4);
    qToLittleEndian(bits, p + 12);
    qToLittleEndian(extra, p + 16);
    return b;
  }
};

inline const std::uint8_t *Bytes(const QByteArray &b) {
  return reinterpret_cast<const std::uint8_t *>(b.constData());
}
