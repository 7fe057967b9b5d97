// The settings file: reads of every kind and one write over arbitrary content.
#include <QFile>

#include "FuzzTargets.h"
#include "settings/ProfileFile.h"

namespace {
// Writes are parsed and edited as the program does; replacing the file on
// disk (a temporary file, a flush to disk, a rename) is not input handling
// and would slow every run a hundredfold, so the new contents are dropped.
class UncommittedProfile : public ProfileFile {
public:
  using ProfileFile::ProfileFile;

protected:
  bool commit(const QByteArray &) override { return true; }
};
} // namespace

int FuzzSettings(const std::uint8_t *data, std::size_t size) {
  const QString path = QString::fromLocal8Bit(FuzzScratchFile("settings.ini"));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    return 0;
  file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
  file.close();

  UncommittedProfile profile(path);
  // Every read parses the whole file again; a few reads cover the parsing,
  // and the keys differ so that lookups of each kind run.
  profile.readString(QStringLiteral("Data Base"), QStringLiteral("ADOFile"), QStringLiteral("d"));
  profile.readInteger(QStringLiteral("setting"), QStringLiteral("language"), 7);
  profile.readBool(QStringLiteral("a"), QStringLiteral("x"), true);
  profile.writeString(QStringLiteral("Data Base"), QStringLiteral("ADOFile"), QStringLiteral("v"));
  profile.readString(QStringLiteral("Data Base"), QStringLiteral("ADOFile"), QString());
  return 0;
}
