#pragma once
#include "state/AppState.h"

class OperatorMessages;
class FileDialogs;
class TDM;
class TMainForm;
class TFormUser;
class TFormDeleteHistory;
class TFormFilter;
class TFormPrintHistory;
class TFormPrintUser;
class TFormRead;
class TFormReg;
class TFormViewHist;
class TFormParams;
class TFormSetting;
class TFormJournal;
class TFormDoses;
class TFormDoseChart;

// What every window shares: the process-wide records, the seams to the
// operator and the file system, the data module and the other windows. One
// instance for the run; the windows are filled in as start-up creates them.
struct AppContext {
  AppState &state;
  OperatorMessages &messages;
  FileDialogs &files;
  // Folder of the executable; tests point it at a folder of their own.
  // Language files and icons are read from there.
  QString executableFolder;
  // Where the settings file, and the database, read histories and logs, are
  // kept when not beside the executable (an installed program, see
  // ProgramLocations); empty: beside it.
  QString settingsFolder{};
  QString dataFolder{};

  QString SettingsFolder() const {
    return settingsFolder.isEmpty() ? executableFolder : settingsFolder;
  }
  QString DataFolder() const { return dataFolder.isEmpty() ? executableFolder : dataFolder; }

  TMainForm *MainForm = nullptr;
  TFormUser *FormUser = nullptr;
  TFormDeleteHistory *FormDeleteHistory = nullptr;
  TDM *DM = nullptr;
  TFormFilter *FormFilter = nullptr;
  TFormPrintHistory *FormPrintHistory = nullptr;
  TFormPrintUser *FormPrintUser = nullptr;
  TFormRead *FormRead = nullptr;
  TFormReg *FormReg = nullptr;
  TFormViewHist *FormViewHist = nullptr;
  TFormParams *FormParams = nullptr;
  TFormSetting *FormSetting = nullptr;
  TFormJournal *FormJournal = nullptr;
  TFormDoses *FormDoses = nullptr;
  TFormDoseChart *FormDoseChart = nullptr;
};
