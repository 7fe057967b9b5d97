#include "db/DbFileState.h"

#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

DbFileState CurrentDbFileState(const QString &path) {
  DbFileState state;
  const QByteArray name = QFile::encodeName(path);
  struct stat info {};
  if (path.isEmpty() || ::stat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode))
    return state;
  state.exists = true;
  // access() also sees what the permission bits do not show (an immutable
  // file, a read-only mount).
  state.writable = ::access(name.constData(), W_OK) == 0;
  state.device = static_cast<std::uint64_t>(info.st_dev);
  state.inode = static_cast<std::uint64_t>(info.st_ino);
  return state;
}
