#pragma once
#include <QList>
#include <QString>

struct AppState;
class ProfileFile;

// A database that could not be opened at start, and why (see
// CheckDatabaseFile).
struct UnusableDatabase {
  QString path;
  QString reason;
};

// The program settings kept in VX4418.ini in the program's folder, and the
// database path and connection string built from them.
//
// Neither function shows anything. A value that cannot be written is skipped
// and the rest goes on: every value is read whatever happens to the writes.
// Both return whether every write succeeded.

// Fills state.ProgSetting and state.Paths (SettingsFile, ADOFile,
// ConfiguredADOFile, ConnectionString, LangFile) from the settings file and
// writes back what start-up writes.
//
// The database the settings name is used when it can be opened. Otherwise the
// run falls back to the program's own DB/dbVX4418.db, the named one is kept in
// ConfiguredADOFile for the settings file, and each database that could not be
// opened (the named one, and the fallback when it cannot be opened either) is
// added to *unusable, for the caller to tell the operator.
bool LoadSettings(AppState &state, const QString &programFolder,
                  QList<UnusableDatabase> *unusable = nullptr);

// Writes the settings back, to the settings file read at start when it is
// still there, else to the program's folder, else to the current directory
// (state.Paths.SettingsFile says which). The database written is the one the
// settings named at start when the run fell back from it. False with the
// reason of a failed write in *error; a value that cannot be written leaves
// the file as it was before that value.
bool SaveSettings(AppState &state, const QString &programFolder, QString *error = nullptr);

// The same two over a given settings file.
bool LoadSettings(AppState &state, ProfileFile &ini, const QString &programFolder,
                  QList<UnusableDatabase> *unusable = nullptr);
bool SaveSettings(const AppState &state, ProfileFile &ini, QString *error = nullptr);

// "Data Source=<database file>;Mode=ReadWrite|Share Deny None;". A path that
// holds ";" or blanks at either end is put between double quotes (single
// quotes when it holds a double quote), so that tools reading the settings
// file find the whole path. The program itself opens ADOFile.
QString ConnectionStringFor(const QString &databaseFile);

// A serial speed as the settings file keeps it: a whole number of bit/s in
// MinPortSpeed..MaxPortSpeed, anything else the default.
qint32 PortSpeedFromText(const QString &text);

// programFolder/VX4418.ini and programFolder/DB/dbVX4418.db.
QString SettingsFilePath(const QString &folder);
QString DefaultDatabasePath(const QString &programFolder);
