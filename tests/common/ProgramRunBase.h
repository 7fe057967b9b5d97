#pragma once
// What every test that runs the program's windows holds: a throw-away program
// folder, the process-wide records, recorded operator messages and file
// dialogs, the context the windows share, and the windows once created.
#include "ProgramFolder.h"
#include "QueuedFileDialogs.h"
#include "RecordingMessages.h"
#include "common/AppContext.h"
#include "common/FileDialogs.h"
#include "common/OperatorMessages.h"
#include "main/Program.h"
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
