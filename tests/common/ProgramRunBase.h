#pragma once
// What every test that runs the program's windows holds: a throw-away program
// folder, the process-wide records, recorded operator messages and file
// dialogs, the context the windows share, and the windows once created.
#include "ProgramFolder.h"
#include "app/AppContext.h"
#include "app/FileDialogs.h"
#include "app/OperatorMessages.h"
#include "app/Program.h"
#include "state/AppState.h"

#include <memory>

struct ProgramRunBase {
  ProgramFolder folder;
  AppState state;
  RecordingMessages messages;
  QueuedFileDialogs files;
  AppContext ctx{state, messages, files, QString()};
  std::unique_ptr<ProgramWindows> windows;
};
