#include "import/AccessExternalDatabase.h"

#include "import/AccessFile.h"
#include "import/Isolated.h"

#include <QDataStream>
#include <QIODevice>

namespace {

constexpr int IdleTimeoutMs = 30000;
constexpr qint64 StreamOverhead = qint64(1) << 20;
constexpr QDataStream::Version StreamVersion = QDataStream::Qt_6_4;
constexpr int FlushBytes = 1 << 16;

// What the reading process sends: the columns, each row, then the outcome.
enum Record : quint8 { Columns = 1, Row = 2, End = 3 };

const QString Damaged = QStringLiteral("The Access database is damaged and cannot be read.");

// Collects records and hands them to the output in blocks.
class RecordWriter {
public:
  explicit RecordWriter(IsolatedOutput &output)
      : output_(output), stream_(&buffer_, QIODevice::WriteOnly) {
    stream_.setVersion(StreamVersion);
  }
  QDataStream &stream() { return stream_; }
  void flush(bool force) {
    if (buffer_.size() < FlushBytes && !force)
      return;
    output_.write(buffer_);
    stream_.device()->seek(0);
    buffer_.clear();
  }

private:
  IsolatedOutput &output_;
  QByteArray buffer_;
  QDataStream stream_;
};

} // namespace

std::unique_ptr<ExternalDatabase> AccessExternalDatabase::open(const QString &path,
                                                               const QByteArray &head, qint64 size,
                                                               QString *error) {
  // Jet 3 files have pages of 2 KiB, later versions 4 KiB; a file is whole pages.
  constexpr int VersionOffset = 0x14;
  const qint64 pageSize = head.size() > VersionOffset && head.at(VersionOffset) == 0 ? 2048 : 4096;
  if (head.size() <= VersionOffset || size < 2 * pageSize || size % pageSize != 0) {
    *error = QStringLiteral("The database file is truncated.");
    return nullptr;
  }

  QByteArray output;
  const bool ran = RunIsolated(
      [&path](IsolatedOutput &out) {
        AccessFile file;
        QString reason;
        const bool opened = file.open(path, &reason);
        RecordWriter writer(out);
        writer.stream() << opened << reason << file.tables();
        writer.flush(true);
      },
      output, StreamOverhead, IdleTimeoutMs);
  bool opened = false;
  QString reason;
  QStringList tables;
  QDataStream in(output);
  in.setVersion(StreamVersion);
  in >> opened >> reason >> tables;
  if (!ran || in.status() != QDataStream::Ok) {
    *error = Damaged;
    return nullptr;
  }
  if (!opened) {
    *error = reason;
    return nullptr;
  }
  std::unique_ptr<AccessExternalDatabase> db(new AccessExternalDatabase(path));
  db->tables_ = tables;
  return db;
}

bool AccessExternalDatabase::readWholeTable(const QString &name, ExternalTable &table) {
  const ExternalReadLimits limits = this->limits();
  QByteArray output;
  const bool ran = RunIsolated(
      [&](IsolatedOutput &out) {
        RecordWriter writer(out);
        AccessFile file;
        QString reason;
        QStringList columns;
        bool columnsSent = false;
        auto sendColumns = [&] {
          if (!columnsSent)
            writer.stream() << quint8(Columns) << columns;
          columnsSent = true;
        };
        const bool read = file.open(path_, &reason) && file.readTable(
                                                           name, limits, columns,
                                                           [&](QVariantList &&row) {
                                                             sendColumns();
                                                             writer.stream() << quint8(Row) << row;
                                                             writer.flush(false);
                                                             return true;
                                                           },
                                                           &reason);
        sendColumns();
        writer.stream() << quint8(End) << read << reason;
        writer.flush(true);
      },
      output, limits.maxTableBytes + StreamOverhead, IdleTimeoutMs);
  if (!ran)
    return fail(Damaged);

  QDataStream in(output);
  in.setVersion(StreamVersion);
  for (;;) {
    quint8 record = 0;
    in >> record;
    if (record == Columns) {
      in >> table.columns;
    } else if (record == Row) {
      QVariantList row;
      in >> row;
      if (row.size() != table.columns.size())
        return fail(Damaged);
      table.rows << std::move(row);
    } else if (record == End) {
      bool read = false;
      QString reason;
      in >> read >> reason;
      if (in.status() != QDataStream::Ok)
        return fail(Damaged);
      return read || fail(reason);
    }
    if (in.status() != QDataStream::Ok || record < Columns || record > End)
      return fail(Damaged);
  }
}
