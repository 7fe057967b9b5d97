#pragma once
#include <QString>

class QProcessEnvironment;

// What decides where the program's files live: the executable's folder, the
// user's home and XDG base folders, and the site's default settings file.
struct LocationInputs {
  QString executableFolder;
  QString home;
  QString xdgConfigHome; // empty, or not absolute: ~/.config
  QString xdgDataHome;   // empty, or not absolute: ~/.local/share
  QString systemSettingsFile = QStringLiteral("/etc/vx4418m/VX4418.ini");

  // The inputs of this process: HOME, XDG_CONFIG_HOME and XDG_DATA_HOME.
  static LocationInputs FromEnvironment(const QString &executableFolder,
                                        const QProcessEnvironment &environment);
};

// Where the program's files live. There are two ways to run and one rule:
//
// Portable: the executable's folder holds a writable VX4418.ini, or is itself
// writable and holds a DB folder (the build folder, a copied folder).
// Settings, database, read histories and logs sit beside the executable.
//
// Installed: any other folder (a read-only system folder). Settings go to
// $XDG_CONFIG_HOME/vx4418m/VX4418.ini, database, read histories and logs
// under $XDG_DATA_HOME/vx4418m/. A user without a settings file starts from
// the site's default settings file when there is one, and without a database
// from a new one made from the installed schema.
//
// Either way, language files, icons and schema files are read from the
// executable's folder.
class ProgramLocations {
public:
  explicit ProgramLocations(LocationInputs inputs);

  bool portable() const { return portable_; }
  // Folders end without a separator.
  QString resourceFolder() const { return inputs_.executableFolder; }
  QString settingsFolder() const { return settingsFolder_; }
  QString dataFolder() const { return dataFolder_; }
  QString settingsFile() const;
  QString databaseFile() const;
  // The installed schema the database of a new user is made from.
  QString schemaFile() const;
  QString systemSettingsFile() const { return inputs_.systemSettingsFile; }

  // Makes ready what an installed program needs before it reads its settings:
  // the two folders, a copy of the site's default settings for a user who has
  // none, and a new database for a user who has none. Does nothing for a
  // portable folder. False with the reason in *error when something could not
  // be made; what could be made stays.
  bool prepare(QString *error = nullptr) const;

private:
  LocationInputs inputs_;
  bool portable_ = false;
  QString settingsFolder_;
  QString dataFolder_;
};
