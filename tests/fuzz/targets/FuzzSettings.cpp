// The settings file: reads of every kind and one write over arbitrary content.
#include <QFile>

#include "FuzzTargets.h"
#include "settings/ProfileFile.h"

int FuzzSettings(const std::uint8_t *data, std::size_t size) {
  const QString path = QString::fromLocal8Bit(FuzzScratchFile("settings.ini"));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    return 0;
  file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
  file.close();

  ProfileFile profile(path);
  const QString sections[] = {QStringLiteral("Data Base"), QStringLiteral("Setting"),
                              QStringLiteral("a"), QString()};
  const QString keys[] = {QStringLiteral("ADOFile"), QStringLiteral("Language"),
                          QStringLiteral("x"), QString()};
  for (const QString &section : sections) {
    for (const QString &key : keys) {
      profile.readString(section, key, QStringLiteral("d"));
      profile.readInteger(section, key, 7);
      profile.readBool(section, key, true);
    }
  }
  profile.writeString(QStringLiteral("Data Base"), QStringLiteral("ADOFile"), QStringLiteral("v"));
  profile.readString(QStringLiteral("Data Base"), QStringLiteral("ADOFile"), QString());
  return 0;
}
