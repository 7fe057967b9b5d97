// A large register: 10,000 people and 1,000,000 stored events.
//  - Start-up to the main window shown and filled, in a process of its own
//    (wall time from starting the process, and its peak memory), against a
//    process that only creates the application object.
//  - The same start-up inside this process, against the supplied database.
//  - One person's history selected through the data module (every row read),
//    against the sqlite3 command-line shell running the same query on the
//    same file.
#include "LargeProgramFolder.h"
#include "QueuedFileDialogs.h"
#include "RecordingMessages.h"
#include "WindowBenchmarks.h"
#include "common/AppContext.h"
#include "common/FileDialogs.h"
#include "common/OperatorMessages.h"
#include "db/TDM.h"
#include "main/MainForm.h"
#include "main/Program.h"
#include "main/StringGrid.h"

#include <QProcess>
#include <QTemporaryFile>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kUsers = 10000;
constexpr int kEvents = 1000000;
constexpr int kSelectedUser = 5000; // one of the 10,000, with 100 events

// A copy of the supplied database with the large register, filled once.
const ProgramFolder &largeFolder() {
  static auto folder = FilledProgramFolder(
      InsertUsers(kUsers) +
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<" +
      QByteArray::number(kEvents) +
      ") INSERT INTO TableHistory (DeviceId, UserId, DateTimeEvent, EventType, EventValue, "
      "DEValue) SELECT 1000000+(i%3), 1+(i%" +
      QByteArray::number(kUsers) +
      "), 45000+i/1000.0, 1+(i%9), 0.0001*(i%7), 0.001*(i%11) FROM n;");
  return *folder;
}

// The supplied database as it is, for the baseline start-up.
const ProgramFolder &suppliedFolder() {
  static auto folder = FilledProgramFolder("");
  return *folder;
}

// One start-up on the program folder `folder`: every window created, the
// main window shown and its lists filled.
struct StartUp {
  AppState state;
  RecordingMessages messages;
  QueuedFileDialogs files;
  AppContext ctx;
  std::unique_ptr<ProgramWindows> windows;

  explicit StartUp(const QString &folder) : ctx{state, messages, files, folder} {
    windows = CreateProgramWindows(ctx);
    windows->MainForm->show();
    QCoreApplication::processEvents();
  }
  bool listsPeople(int users) const {
    return !windows->MainForm->SG_User->cells().Cell(0, users).isEmpty();
  }
};

// What a child process started by this program does (see main): "startup"
// runs the start-up on the folder named next, "idle" stops right after the
// application object exists. Either way the process ends at once, without
// tearing anything down.
[[noreturn]] void RunChild(int argc, char **argv) {
  VxApplication app(argc, argv);
  bool ok = true;
  std::optional<StartUp> run; // left standing: _exit skips every destructor
  if (std::strcmp(argv[1], "--child=startup") == 0 && argc > 2)
    ok = run.emplace(QString::fromLocal8Bit(argv[2])).listsPeople(kUsers);
  _exit(ok ? 0 : 1);
}

// Starts this program as a child in `mode`, waits for it and answers its
// wall time and peak resident memory (bytes); false when it failed.
bool RunChildProcess(const char *mode, double &seconds, double &peakBytes) {
  std::string folder = largeFolder().path().toStdString();
  char *args[] = {const_cast<char *>("bench_startup"), const_cast<char *>(mode), folder.data(),
                  nullptr};
  const auto start = Clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, args, environ) != 0)
    return false;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid)
    return false;
  seconds = std::chrono::duration<double>(Clock::now() - start).count();
  peakBytes = double(usage.ru_maxrss) * 1024.0;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void ChildProcess(benchmark::State &st, const char *mode) {
  largeFolder();
  double peak = 0;
  for (auto _ : st) {
    double seconds = 0, bytes = 0;
    if (!RunChildProcess(mode, seconds, bytes))
      st.SkipWithError("the child process failed");
    st.SetIterationTime(seconds);
    peak = std::max(peak, bytes);
  }
  st.counters["peak_MB"] = peak / 1e6;
}

// Start-up to the filled main window in a fresh process.
void BM_StartupProcess(benchmark::State &st) {
  ChildProcess(st, "--child=startup");
  st.counters["users"] = kUsers;
  st.counters["events"] = kEvents;
}
BENCHMARK(BM_StartupProcess)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// A fresh process that only creates the application object.
void BM_ApplicationOnlyProcess(benchmark::State &st) {
  ChildProcess(st, "--child=idle");
}
BENCHMARK(BM_ApplicationOnlyProcess)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_StartupToFilledMainWindow(benchmark::State &st) {
  const QString folder = largeFolder().path();
  for (auto _ : st)
    if (!StartUp(folder).listsPeople(kUsers))
      st.SkipWithError("user list not filled");
  st.counters["users"] = kUsers;
  st.counters["events"] = kEvents;
}
BENCHMARK(BM_StartupToFilledMainWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same on the supplied database.
void BM_StartupSuppliedDatabase(benchmark::State &st) {
  const QString folder = suppliedFolder().path();
  for (auto _ : st) {
    StartUp run(folder);
    benchmark::DoNotOptimize(run.windows.get());
  }
}
BENCHMARK(BM_StartupSuppliedDatabase)->Unit(benchmark::kMillisecond)->Iterations(5);

// The history select of one person, every row read into a typed row.
void BM_HistorySelectDataModule(benchmark::State &st) {
  AppState state;
  TDM dm(state.clock, largeFolder().databasePath());
  qsizetype rows = 0;
  for (auto _ : st) {
    const std::optional<QList<StoredEvent>> history = dm.History().UserHistory(kSelectedUser, {});
    rows = history ? history->size() : 0;
    if (rows == 0)
      st.SkipWithError("select failed");
  }
  st.counters["rows"] = double(rows);
}
BENCHMARK(BM_HistorySelectDataModule)->Unit(benchmark::kMicrosecond);

// Wall time of the sqlite3 shell running `queries` copies of the select,
// its output thrown away.
double ShellSeconds(int queries) {
  QTemporaryFile script;
  script.open();
  script.write(".output /dev/null\n");
  for (int i = 0; i < queries; ++i)
    script.write("SELECT * FROM TableHistory\nWHERE UserId =" + QByteArray::number(kSelectedUser) +
                 ";\n");
  script.close();
  QProcess shell;
  shell.setStandardInputFile(script.fileName());
  shell.setStandardOutputFile(QProcess::nullDevice());
  const auto start = Clock::now();
  shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), largeFolder().databasePath()});
  if (!shell.waitForFinished(-1) || shell.exitCode() != 0)
    return -1;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The shell's time per select: one run with 1 + kRepeats selects less one
// run with a single select, over kRepeats. Start, opening the file and
// reading the schema cancel out; what is left is preparing the statement,
// stepping through every row and formatting it.
void BM_HistorySelectSqliteShell(benchmark::State &st) {
  constexpr int kRepeats = 2000;
  for (auto _ : st) {
    const double one = ShellSeconds(1), many = ShellSeconds(1 + kRepeats);
    if (one < 0 || many < 0)
      st.SkipWithError("the sqlite3 shell failed");
    st.SetIterationTime(std::max(0.0, many - one) / kRepeats);
  }
}
BENCHMARK(BM_HistorySelectSqliteShell)
    ->Unit(benchmark::kMicrosecond)
    ->UseManualTime()
    ->Iterations(5);

} // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc > 1 && std::strncmp(argv[1], "--child=", 8) == 0)
    RunChild(argc, argv);
  return RunWindowBenchmarks(argc, argv);
}
