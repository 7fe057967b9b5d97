#pragma once
#include <QString>
#include <memory>

#include "dose/DoseLimits.h"
#include "history/HistoryFilter.h"
#include "lang/TextTable.h"
#include "lang/ToolkitTranslations.h"
#include "link/ChosenIrdaStack.h"
#include "link/DeviceParams.h"
#include "link/IrdaTransport.h"
#include "state/Clock.h"
#include "state/RegState.h"

// The serial speed when the settings name none, and the speeds they accept.
inline constexpr qint32 DefaultPortSpeed = 115200;
inline constexpr qint32 MinPortSpeed = 1200;
inline constexpr qint32 MaxPortSpeed = 4000000;

// Program settings kept in VX4418.ini.
struct PROG_SETTING {
  bool Sock = true;      // IrDA socket (the virtual link on Linux); false: a serial adapter
  QString PortIr;        // the serial adapter's port ("COM3", "/dev/ttyUSB0")
  bool RunSet = false;   // open the settings window at the first activation
  bool Roentgen = false; // show dose values in roentgen instead of sievert
  qint32 PortSpeed = DefaultPortSpeed; // the serial adapter's speed, bit/s
};

// How the settings reach instruments.
inline LinkChoice LinkChoiceOf(const PROG_SETTING &settings) {
  LinkChoice choice;
  choice.Serial = !settings.Sock;
  choice.Port.PortName = settings.PortIr;
  choice.Port.Speed = settings.PortSpeed;
  return choice;
}

// Where the program's files are, and the database it talks to.
struct ProgramPaths {
  QString ProgramFolder;    // folder of the executable, ending with a separator
  QString SettingsFile;     // VX4418.ini in use (beside the executable, or the user's)
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
  AppState() = default;
  AppState(const AppState &) = delete; // the link looks at this instance's settings
  AppState &operator=(const AppState &) = delete;

  PROG_SETTING ProgSetting;
  DoseLimits Limits; // [Dose limits]
  ProgramPaths Paths;
  TextTable Texts;
  // The toolkit's own texts, in the language of Texts.
  ToolkitTranslations ToolkitTexts;
  CurrentUser User;
  HistoryCriteria Filter; // what the history list is narrowed by now
  REG_STATE RegState;
  DEVICE_PARAMS LastReadParams;
  DEVICE_PARAMS ParamsToWrite;
  bool KeepHistoryAfterRead = false;

  // The infrared transport with its loaded options library, over the stack
  // the settings choose at every connection; tests give it a fake stack. The
  // main window frees the library when it is destroyed.
  std::shared_ptr<IrdaTransport> Irda =
      std::make_shared<IrdaTransport>(std::make_shared<ChosenIrdaStack>(
          CreatePlatformIrdaStack(), [this] { return LinkChoiceOf(ProgSetting); }));

  // "Now" for everything that stamps a time; replaced by tests.
  std::shared_ptr<Clock> clock = std::make_shared<Clock>();
};
