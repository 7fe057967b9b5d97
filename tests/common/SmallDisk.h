#pragma once
// A small file system of the test's own (a tmpfs it mounts, 64 KiB unless told
// otherwise) that a test fills up, so that writes there fail for lack of space
// as they do on a full disk. Mounting needs the superuser; where it is refused
// `skipReason` says why and the test skips.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#endif

class SmallDisk {
public:
  explicit SmallDisk(int kib = 64) {
#ifdef Q_OS_LINUX
    const QByteArray where = QFile::encodeName(dir_.path());
    const QByteArray options = "size=" + QByteArray::number(kib) + "k";
    if (::mount("tmpfs", where.constData(), "tmpfs", 0, options.constData()) == 0)
      mounted_ = true;
    else
      skipReason_ = QStringLiteral("a tmpfs cannot be mounted here (%1); the full-disk cases "
                                   "need the superuser")
                        .arg(QString::fromLocal8Bit(std::strerror(errno)));
#else
    Q_UNUSED(kib);
    skipReason_ = QStringLiteral("full-disk cases mount a tmpfs, which only Linux has");
#endif
  }
  ~SmallDisk() {
#ifdef Q_OS_LINUX
    if (mounted_)
      ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
#endif
  }
  SmallDisk(const SmallDisk &) = delete;
  SmallDisk &operator=(const SmallDisk &) = delete;

  bool mounted() const {
    return mounted_;
  }
  const QString &skipReason() const {
    return skipReason_;
  }
  QString path() const {
    return dir_.path();
  }
  QString file(const QString &name) const {
    return QDir(dir_.path()).filePath(name);
  }

  // Takes all but `room` bytes of the free space (a filler file, written a
  // page at a time until the disk refuses). The number of free bytes left.
  qint64 fill(qint64 room = 0) {
    QFile filler(file(QStringLiteral("filler-%1").arg(fillers_++)));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
      return -1;
    const QByteArray page(4096, '\0');
    qint64 total = 0;
    for (qint64 n; (n = filler.write(page)) > 0;)
      total += n;
    filler.close();
    if (room > 0)
      filler.resize(std::max<qint64>(0, total - room));
    return room > 0 ? std::min(room, total) : 0;
  }

private:
  QTemporaryDir dir_;
  bool mounted_ = false;
  QString skipReason_;
  int fillers_ = 0;
};

// Skips the test when the small disk could not be mounted.
#define REQUIRE_SMALL_DISK(disk)                                                                   \
  do {                                                                                             \
    if (!(disk).mounted())                                                                         \
      QSKIP(qPrintable((disk).skipReason()));                                                      \
  } while (false)
