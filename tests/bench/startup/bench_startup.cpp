// Start-up to the main window shown and filled, with a register of 10,000
// people and 1,000,000 stored events.
#include "LargeProgramFolder.h"
#include "app/AppContext.h"
#include "app/FileDialogs.h"
#include "app/MainForm.h"
#include "app/OperatorMessages.h"
#include "app/Program.h"
#include "app/StringGrid.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kUsers = 10000;
constexpr int kEvents = 1000000;

// A copy of the supplied database with the large register, filled once.
const ProgramFolder &largeFolder() {
  static auto folder = FilledProgramFolder(
      InsertUsers(kUsers) +
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<" +
      QByteArray::number(kEvents) +
      ") INSERT INTO TableHistory (DeviceId, UserId, DateTimeEvent, EventType, EventValue, "
      "DEValue) SELECT 1000000+(i%3), 1+(i%" + QByteArray::number(kUsers) +
      "), 45000+i/1000.0, 1+(i%9), 0.0001*(i%7), 0.001*(i%11) FROM n;");
  return *folder;
}

void BM_StartupToFilledMainWindow(benchmark::State &st) {
  const ProgramFolder &folder = largeFolder();
  for (auto _ : st) {
    AppState state;
    RecordingMessages messages;
    QueuedFileDialogs files;
    AppContext ctx{state, messages, files, folder.path()};
    auto windows = CreateProgramWindows(ctx);
    windows->MainForm->show();
    QCoreApplication::processEvents();
    if (windows->MainForm->SG_User->cells().Cell(0, kUsers).isEmpty())
      st.SkipWithError("user list not filled");
    windows.reset();
  }
  st.counters["users"] = kUsers;
  st.counters["events"] = kEvents;
}
BENCHMARK(BM_StartupToFilledMainWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  VxApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
