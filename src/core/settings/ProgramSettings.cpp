#include "settings/ProgramSettings.h"

#include <QDir>
#include <QFileInfo>

#include "settings/ProfileFile.h"
#include "state/AppState.h"

static const QString SectionDataBase = QStringLiteral("Data Base");
static const QString SectionLang = QStringLiteral("Lang");
static const QString SectionProgram = QStringLiteral("Program setting");
static const QString SectionHistory = QStringLiteral("History setting");

static const QString KeyADOFile = QStringLiteral("ADOFile");
static const QString KeyLangFile = QStringLiteral("LangFile");
static const QString KeySock = QStringLiteral("Sock");
static const QString KeyPortIr = QStringLiteral("PortIr");
static const QString KeyRunSet = QStringLiteral("RunSet");
static const QString KeyRoentgen = QStringLiteral("Roentgen");

QString SettingsFilePath(const QString &folder) {
  return QDir(folder).filePath(QStringLiteral("VX4418.ini"));
}

QString DefaultDatabasePath(const QString &programFolder) {
  return QDir(programFolder).filePath(QStringLiteral("DB/dbVX4418.db"));
}

QString ConnectionStringFor(const QString &databaseFile) {
  return QStringLiteral("Data Source=") + databaseFile +
         QStringLiteral(";Mode=ReadWrite|Share Deny None;");
}

bool LoadSettings(AppState &state, const QString &programFolder) {
  ProfileFile ini(SettingsFilePath(programFolder));
  return LoadSettings(state, ini, programFolder);
}

bool LoadSettings(AppState &state, ProfileFile &ini, const QString &programFolder) {
  ProgramPaths &paths = state.Paths;
  PROG_SETTING &settings = state.ProgSetting;
  paths.SettingsFile = ini.path();
  const bool existed = ini.exists();
  bool written = true;

  // A database path that names no file falls back to the supplied database for
  // this run; the settings file keeps the old path until the settings are saved.
  const QString defaultDatabase = DefaultDatabasePath(programFolder);
  paths.ADOFile = ini.readString(SectionDataBase, KeyADOFile, defaultDatabase);
  if (!QFileInfo(paths.ADOFile).isFile())
    paths.ADOFile = defaultDatabase;
  paths.ConnectionString = ConnectionStringFor(paths.ADOFile);
  if (!existed)
    written &= ini.writeString(SectionDataBase, KeyADOFile, paths.ADOFile);

  paths.LangFile = ini.readString(SectionLang, KeyLangFile, QStringLiteral("LangE"));
  written &= ini.writeString(SectionLang, KeyLangFile, paths.LangFile);

  // The instrument is always reached over the IrDA socket.
  settings.Sock = true;
  written &= ini.writeBool(SectionProgram, KeySock, settings.Sock);

  settings.PortIr = ini.readString(SectionProgram, KeyPortIr, QStringLiteral("COM3"));
  written &= ini.writeString(SectionProgram, KeyPortIr, settings.PortIr);

  settings.RunSet = ini.readBool(SectionProgram, KeyRunSet, true);
  written &= ini.writeBool(SectionProgram, KeyRunSet, settings.RunSet);

  settings.Roentgen = ini.readBool(SectionHistory, KeyRoentgen, false);
  return written;
}

bool SaveSettings(AppState &state, const QString &programFolder) {
  QString &path = state.Paths.SettingsFile;
  if (path.isEmpty() || !QFileInfo(path).isFile()) {
    const QDir folder(programFolder);
    if (folder.exists() || QDir().mkpath(programFolder))
      path = SettingsFilePath(programFolder);
    else
      path = SettingsFilePath(QDir::currentPath());
  }
  ProfileFile ini(path);
  return SaveSettings(state, ini);
}

bool SaveSettings(const AppState &state, ProfileFile &ini) {
  const ProgramPaths &paths = state.Paths;
  const PROG_SETTING &settings = state.ProgSetting;
  bool written = ini.writeString(SectionDataBase, KeyADOFile, paths.ADOFile);
  written &= ini.writeString(SectionLang, KeyLangFile, paths.LangFile);
  written &= ini.writeBool(SectionProgram, KeySock, settings.Sock);
  written &= ini.writeString(SectionProgram, KeyPortIr, settings.PortIr);
  written &= ini.writeBool(SectionProgram, KeyRunSet, settings.RunSet);
  written &= ini.writeBool(SectionHistory, KeyRoentgen, settings.Roentgen);
  return written;
}
