#include "settings/ProgramSettings.h"

#include <QDir>
#include <QFileInfo>

#include "db/DatabaseCheck.h"
#include "db/DatabaseLocation.h"
#include "settings/ProfileFile.h"
#include "state/AppState.h"

static const QString SectionDataBase = QStringLiteral("Data Base");
static const QString SectionLang = QStringLiteral("Lang");
static const QString SectionProgram = QStringLiteral("Program setting");
static const QString SectionHistory = QStringLiteral("History setting");
static const QString SectionLimits = QStringLiteral("Dose limits");
static const QString KeyInvestigationLevel = QStringLiteral("InvestigationLevel");
static const QString KeyAnnualLimit = QStringLiteral("AnnualLimit");
static const QString KeyFiveYearLimit = QStringLiteral("FiveYearLimit");

namespace {
// A level in Sv, written with a point whatever the locale. A value that is no
// number above 0 reads as the default.
double ReadLevel(const ProfileFile &ini, const QString &key, double defaultValue) {
  return TypedDose(ini.readString(SectionLimits, key, QString())).value_or(defaultValue);
}

bool WriteLimits(ProfileFile &ini, const DoseLimits &limits) {
  auto text = [](double v) { return QString::number(v, 'g', 12); };
  bool written =
      ini.writeString(SectionLimits, KeyInvestigationLevel, text(limits.InvestigationLevel));
  written &= ini.writeString(SectionLimits, KeyAnnualLimit, text(limits.AnnualLimit));
  written &= ini.writeString(SectionLimits, KeyFiveYearLimit, text(limits.FiveYearLimit));
  return written;
}
} // namespace

static const QString KeyADOFile = QStringLiteral("ADOFile");
static const QString KeyLangFile = QStringLiteral("LangFile");
static const QString KeySock = QStringLiteral("Sock");
static const QString KeyPortIr = QStringLiteral("PortIr");
static const QString KeyPortSpeed = QStringLiteral("PortSpeed");
static const QString KeyRunSet = QStringLiteral("RunSet");
static const QString KeyRoentgen = QStringLiteral("Roentgen");

QString SettingsFilePath(const QString &folder) {
  return QDir(folder).filePath(QStringLiteral("VX4418.ini"));
}

QString DefaultDatabasePath(const QString &programFolder) {
  return QDir(programFolder).filePath(QStringLiteral("DB/dbVX4418.db"));
}

QString ConnectionStringFor(const QString &databaseFile) {
  QString source = databaseFile;
  if (databaseFile.contains(u';') || databaseFile != databaseFile.trimmed() ||
      databaseFile.startsWith(u'"') || databaseFile.startsWith(u'\'')) {
    const QChar quote = databaseFile.contains(u'"') ? u'\'' : u'"';
    source = quote + databaseFile + quote;
  }
  return QStringLiteral("Data Source=") + source +
         QStringLiteral(";Mode=ReadWrite|Share Deny None;");
}

// Why the program cannot work on the database file at path; empty when it
// can. A server is not looked at here: it is reached, or told unreachable,
// by the data module, and never replaced by the local file (what a desk files
// there would be missing at every other desk).
static QString DatabaseProblem(const QString &path) {
  return IsServerLocation(path) ? QString() : CheckDatabaseFile(path).reason;
}

// The database of this run: the one the settings name when it can be opened,
// else the program's own. The settings keep the one they name.
static void ChooseDatabase(ProgramPaths &paths, const QString &configured,
                           const QString &defaultDatabase, QList<UnusableDatabase> *unusable) {
  paths.ADOFile = configured;
  paths.ConfiguredADOFile.clear();
  QString problem = DatabaseProblem(configured);
  if (!problem.isEmpty()) {
    if (unusable)
      unusable->append({configured, problem});
    if (configured != defaultDatabase) {
      paths.ConfiguredADOFile = configured;
      paths.ADOFile = defaultDatabase;
      problem = DatabaseProblem(defaultDatabase);
      if (!problem.isEmpty() && unusable)
        unusable->append({defaultDatabase, problem});
    }
  }
  paths.ConnectionString = ConnectionStringFor(paths.ADOFile);
}

qint32 PortSpeedFromText(const QString &text) {
  bool ok = false;
  const qint64 speed = text.trimmed().toLongLong(&ok);
  return ok && speed >= MinPortSpeed && speed <= MaxPortSpeed ? qint32(speed) : DefaultPortSpeed;
}

bool LoadSettings(AppState &state, const QString &programFolder,
                  QList<UnusableDatabase> *unusable) {
  ProfileFile ini(SettingsFilePath(programFolder));
  return LoadSettings(state, ini, programFolder, unusable);
}

bool LoadSettings(AppState &state, ProfileFile &ini, const QString &programFolder,
                  QList<UnusableDatabase> *unusable) {
  ProgramPaths &paths = state.Paths;
  PROG_SETTING &settings = state.ProgSetting;
  paths.SettingsFile = ini.path();
  const bool existed = ini.exists();
  bool written = true;

  // An empty value names no database: the program's own is used, unremarked.
  const QString defaultDatabase = DefaultDatabasePath(programFolder);
  QString configured = ini.readString(SectionDataBase, KeyADOFile, defaultDatabase);
  if (configured.trimmed().isEmpty())
    configured = defaultDatabase;
  ChooseDatabase(paths, configured, defaultDatabase, unusable);
  if (!existed)
    written &= ini.writeString(SectionDataBase, KeyADOFile, paths.ADOFile);

  paths.LangFile = ini.readString(SectionLang, KeyLangFile, QStringLiteral("LangE"));
  written &= ini.writeString(SectionLang, KeyLangFile, paths.LangFile);

  settings.Sock = ini.readBool(SectionProgram, KeySock, true);
  written &= ini.writeBool(SectionProgram, KeySock, settings.Sock);

  settings.PortIr = ini.readString(SectionProgram, KeyPortIr, QStringLiteral("COM3"));
  written &= ini.writeString(SectionProgram, KeyPortIr, settings.PortIr);

  settings.PortSpeed = PortSpeedFromText(ini.readString(SectionProgram, KeyPortSpeed, QString()));
  written &= ini.writeString(SectionProgram, KeyPortSpeed, QString::number(settings.PortSpeed));

  settings.RunSet = ini.readBool(SectionProgram, KeyRunSet, true);
  written &= ini.writeBool(SectionProgram, KeyRunSet, settings.RunSet);

  settings.Roentgen = ini.readBool(SectionHistory, KeyRoentgen, false);

  const DoseLimits defaults;
  state.Limits.InvestigationLevel =
      ReadLevel(ini, KeyInvestigationLevel, defaults.InvestigationLevel);
  state.Limits.AnnualLimit = ReadLevel(ini, KeyAnnualLimit, defaults.AnnualLimit);
  state.Limits.FiveYearLimit = ReadLevel(ini, KeyFiveYearLimit, defaults.FiveYearLimit);
  return written;
}

bool SaveSettings(AppState &state, const QString &programFolder, QString *error) {
  QString &path = state.Paths.SettingsFile;
  if (path.isEmpty() || !QFileInfo(path).isFile()) {
    const QDir folder(programFolder);
    if (folder.exists() || QDir().mkpath(programFolder))
      path = SettingsFilePath(programFolder);
    else
      path = SettingsFilePath(QDir::currentPath());
  }
  ProfileFile ini(path);
  return SaveSettings(state, ini, error);
}

bool SaveSettings(const AppState &state, ProfileFile &ini, QString *error) {
  const ProgramPaths &paths = state.Paths;
  const PROG_SETTING &settings = state.ProgSetting;
  const QString &database =
      paths.ConfiguredADOFile.isEmpty() ? paths.ADOFile : paths.ConfiguredADOFile;
  bool written = ini.writeString(SectionDataBase, KeyADOFile, database);
  written &= ini.writeString(SectionLang, KeyLangFile, paths.LangFile);
  written &= ini.writeBool(SectionProgram, KeySock, settings.Sock);
  written &= ini.writeString(SectionProgram, KeyPortIr, settings.PortIr);
  written &= ini.writeString(SectionProgram, KeyPortSpeed, QString::number(settings.PortSpeed));
  written &= ini.writeBool(SectionProgram, KeyRunSet, settings.RunSet);
  written &= ini.writeBool(SectionHistory, KeyRoentgen, settings.Roentgen);
  // The limits are kept once they differ from the defaults.
  const QString none = QStringLiteral("\x01");
  if (state.Limits != DoseLimits{} ||
      ini.readString(SectionLimits, KeyInvestigationLevel, none) != none ||
      ini.readString(SectionLimits, KeyAnnualLimit, none) != none ||
      ini.readString(SectionLimits, KeyFiveYearLimit, none) != none)
    written &= WriteLimits(ini, state.Limits);
  if (!written && error)
    *error = ini.lastError();
  return written;
}
