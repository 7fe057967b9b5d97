#include "settings/ProgramLocations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>

#include "db/NewDatabase.h"
#include "settings/ProgramSettings.h"

namespace {

const QString AppFolder = QStringLiteral("vx4418m");

QString Clean(const QString &folder) {
  return folder.isEmpty() ? folder : QDir::cleanPath(QDir(folder).absolutePath());
}

// An XDG base folder: the variable's value when it is an absolute path,
// otherwise the default under the home folder.
QString BaseFolder(const QString &value, const QString &home, const QString &fallback) {
  if (!value.isEmpty() && QDir::isAbsolutePath(value))
    return QDir::cleanPath(value);
  return QDir::cleanPath(QDir(home).filePath(fallback));
}

bool IsPortable(const QString &folder) {
  const QFileInfo ini(SettingsFilePath(folder));
  if (ini.isFile() && ini.isWritable())
    return true;
  const QFileInfo self(folder);
  return self.isDir() && self.isWritable() && QFileInfo(QDir(folder).filePath("DB")).isDir();
}

bool Fail(QString *error, const QString &why) {
  if (error)
    *error = why;
  return false;
}

} // namespace

LocationInputs LocationInputs::FromEnvironment(const QString &executableFolder,
                                               const QProcessEnvironment &environment) {
  LocationInputs in;
  in.executableFolder = executableFolder;
  in.home = environment.value(QStringLiteral("HOME"), QDir::homePath());
  in.xdgConfigHome = environment.value(QStringLiteral("XDG_CONFIG_HOME"));
  in.xdgDataHome = environment.value(QStringLiteral("XDG_DATA_HOME"));
  return in;
}

ProgramLocations::ProgramLocations(LocationInputs inputs) : inputs_(std::move(inputs)) {
  inputs_.executableFolder = Clean(inputs_.executableFolder);
  portable_ = IsPortable(inputs_.executableFolder);
  if (portable_) {
    settingsFolder_ = dataFolder_ = inputs_.executableFolder;
    return;
  }
  settingsFolder_ =
      QDir(BaseFolder(inputs_.xdgConfigHome, inputs_.home, ".config")).filePath(AppFolder);
  dataFolder_ =
      QDir(BaseFolder(inputs_.xdgDataHome, inputs_.home, ".local/share")).filePath(AppFolder);
}

QString ProgramLocations::settingsFile() const {
  return SettingsFilePath(settingsFolder_);
}

QString ProgramLocations::databaseFile() const {
  return DefaultDatabasePath(dataFolder_);
}

QString ProgramLocations::schemaFile() const {
  return QDir(resourceFolder()).filePath(QStringLiteral("db/schema.sql"));
}

bool ProgramLocations::prepare(QString *error) const {
  if (portable_)
    return true;
  if (!QDir().mkpath(settingsFolder_))
    return Fail(error, QStringLiteral("Cannot make the folder %1").arg(settingsFolder_));
  const QString database = databaseFile();
  if (!QDir().mkpath(QFileInfo(database).path()))
    return Fail(error, QStringLiteral("Cannot make the folder %1").arg(QFileInfo(database).path()));

  bool ok = true;
  QString why;
  const QString settings = settingsFile();
  if (!QFileInfo::exists(settings) && QFileInfo(inputs_.systemSettingsFile).isFile()) {
    QFile::copy(inputs_.systemSettingsFile, settings);
    // The copy is the user's own: writable whatever the site's file allows.
    if (!QFile::setPermissions(settings, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ReadGroup | QFileDevice::ReadOther)) {
      ok = false;
      why = QStringLiteral("Cannot copy %1 to %2").arg(inputs_.systemSettingsFile, settings);
    }
  }
  if (!QFileInfo::exists(database)) {
    QString dbError;
    if (!CreateDatabaseFromSchema(database, schemaFile(), &dbError)) {
      ok = false;
      why = dbError;
    }
  }
  return ok || Fail(error, why);
}
