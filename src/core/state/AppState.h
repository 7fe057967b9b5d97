#pragma once
#include <QString>
#include <memory>

#include "dose/DoseLimits.h"
#include "history/HistoryFilter.h"
#include "lang/TextTable.h"
#include "link/DeviceParams.h"
#include "link/IrdaTransport.h"
#include "state/Clock.h"
#include "state/RegState.h"

// Program settings kept in VX4418.ini.
struct PROG_SETTING {
  bool Sock = false;     // IrDA socket connection; always true while running
  QString PortIr;        // virtual serial port name, kept but unused
  bool RunSet = false;   // open the settings window at the first activation
  bool Roentgen = false; // show dose values in roentgen instead of sievert
};

// Where the program's files are, and the database it talks to.
struct ProgramPaths {
  QString ProgramFolder;    // folder of the executable, ending with a separator
  QString SettingsFile;     // ProgramFolder + VX4418.ini
  QString ADOFile;          // database file
  QString ConnectionString; // "Data Source=" + ADOFile + ";Mode=ReadWrite|Share Deny None;"
  QString LangFile;         // language file name without folder
  // The database the settings file names, while this run uses the local one
  // because that one could not be opened; it stays in the settings file at
  // exit. Empty otherwise.
  QString ConfiguredADOFile;
};

// The person last chosen in the user list.
struct CurrentUser {
  qint32 CurrentUserKey = -1;
  QString SecondName;
  QString FirstName;
  QString MiddleName;
};

// Every process-wide record of the program, one instance each, shared by the
// data module and the windows.
struct AppState {
  PROG_SETTING ProgSetting;
  DoseLimits Limits; // [Dose limits]
  ProgramPaths Paths;
  TextTable Texts;
  CurrentUser User;
  HistoryCriteria Filter; // what the history list is narrowed by now
  REG_STATE RegState;
  DEVICE_PARAMS LastReadParams;
  DEVICE_PARAMS ParamsToWrite;
  bool KeepHistoryAfterRead = false;

  // The infrared transport with its loaded options library; tests give it a
  // fake stack. The main window frees the library when it is destroyed.
  std::shared_ptr<IrdaTransport> Irda = std::make_shared<IrdaTransport>(CreatePlatformIrdaStack());

  // "Now" for everything that stamps a time; replaced by tests.
  std::shared_ptr<Clock> clock = std::make_shared<Clock>();
};
