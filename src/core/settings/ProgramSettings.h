#pragma once
#include <QString>

struct AppState;
class ProfileFile;

// The program settings kept in VX4418.ini in the program's folder, and the
// database path and connection string built from them.
//
// Neither function shows anything. A value that cannot be written is skipped
// and the rest goes on: every value is read whatever happens to the writes.
// Both return whether every write succeeded.

// Fills state.ProgSetting and state.Paths (SettingsFile, ADOFile,
// ConnectionString, LangFile) from the settings file and writes back what
// start-up writes.
bool LoadSettings(AppState &state, const QString &programFolder);

// Writes the settings back, to the settings file read at start when it is
// still there, else to the program's folder, else to the current directory.
bool SaveSettings(AppState &state, const QString &programFolder);

// The same two over a given settings file.
bool LoadSettings(AppState &state, ProfileFile &ini, const QString &programFolder);
bool SaveSettings(const AppState &state, ProfileFile &ini);

// "Data Source=<database file>;Mode=ReadWrite|Share Deny None;"
QString ConnectionStringFor(const QString &databaseFile);

// programFolder/VX4418.ini and programFolder/DB/dbVX4418.db.
QString SettingsFilePath(const QString &folder);
QString DefaultDatabasePath(const QString &programFolder);
