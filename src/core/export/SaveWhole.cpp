#include "export/SaveWhole.h"
#include "lang/TextTable.h"

#include <QDir>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// Drops what was written and keeps the old file; the system's message, or
// `reason` when one is given.
bool Fail(QSaveFile &file, QString *error, const QString &reason = QString()) {
  QString message = reason.isEmpty() ? file.errorString() : reason;
  if (message.isEmpty() || (reason.isEmpty() && file.error() == QFileDevice::NoError))
    message = QString::fromLocal8Bit(std::strerror(EIO));
  file.cancelWriting();
  if (error)
    *error = message;
  return false;
}

// Writes until every byte is out. A write that stops short without an error
// (a disk that has just filled up) is tried again, so that the next one says
// why.
bool WriteAll(QSaveFile &file, const QByteArray &bytes) {
  qint64 done = 0;
  while (done < bytes.size()) {
    const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
    if (n <= 0)
      return false;
    done += n;
  }
  return true;
}

// Syncs the new file to the disk; a network share may say only here that it
// could not keep what was written. Empty when it went well (or the file
// system has nothing to sync), else the system's message.
QString SyncToDisk(QSaveFile &file) {
#ifdef Q_OS_UNIX
  const int fd = file.handle();
  if (fd >= 0 && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
    return QString::fromLocal8Bit(std::strerror(errno));
#else
  Q_UNUSED(file);
#endif
  return QString();
}

} // namespace

bool SaveWhole(const QString &path, const QByteArray &bytes, QString *error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    return Fail(file, error);
  // The file device keeps what it is given in a buffer and writes it only on
  // flush; a failure there does not stop the commit, so it is asked for here.
  if (!WriteAll(file, bytes) || !file.flush() || file.error() != QFileDevice::NoError)
    return Fail(file, error);
  if (const QString reason = SyncToDisk(file); !reason.isEmpty())
    return Fail(file, error, reason);
  if (!file.commit()) {
    if (error)
      *error = file.errorString();
    return false;
  }
  return true;
}

QString FileProblemText(const QString &what, const QString &path, const QString &reason) {
  return what + u'\n' + QDir::toNativeSeparators(path) + u'\n' + reason;
}

QString FileNotWrittenText(const TextTable &texts, const QString &path, const QString &reason) {
  return texts.text(ProgramText::FileNotWritten).arg(QDir::toNativeSeparators(path)) + u'\n' +
         reason;
}
