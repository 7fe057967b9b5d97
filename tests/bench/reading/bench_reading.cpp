// A full history read through the program's windows from an instrument that
// answers at once: the time from the last history block arriving to the
// read-history window shown, filled and painted (filing, clearing, the user
// list, the rich text), with the transfer before it as the baseline.
#include "FakeInstrument.h"
#include "FullHistoryArea.h"
#include "ProgramRunBase.h"
#include "exchanges/FormRead.h"
#include "history/FormViewHist.h"
#include "main/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <ctime>

namespace {

constexpr int Number = 4418;

// Notes when the read-history window is shown, paints it once and closes it.
class ViewWatcher : public QObject {
public:
  QElapsedTimer *clock = nullptr;
  qint64 shownAt = -1;
  std::clock_t shownCpu = 0;
  explicit ViewWatcher(QDialog *view) : view_(view) { view_->installEventFilter(this); }
  ~ViewWatcher() override { view_->removeEventFilter(this); }

protected:
  bool eventFilter(QObject *watched, QEvent *e) override {
    if (watched == view_ && e->type() == QEvent::Show) {
      QTimer::singleShot(0, view_, [this] {
        benchmark::DoNotOptimize(view_->grab());
        shownAt = clock->nsecsElapsed();
        shownCpu = std::clock();
        view_->reject();
      });
    }
    return false;
  }

private:
  QDialog *view_;
};

// The program with 300 people, the 100th holding the instrument in range.
struct Reading : ProgramRunBase {
  std::shared_ptr<FakeIrdaStack> stack = std::make_shared<FakeIrdaStack>();
  FakeInstrument instrument;
  QElapsedTimer clock;
  qint64 firstCommandAt = -1, lastBlockAt = -1;
  std::clock_t lastBlockCpu = 0;

  Reading() {
    ctx.executableFolder = folder.path();
    QFile ini(folder.file("VX4418.ini"));
    ini.open(QIODevice::WriteOnly);
    ini.write("[Program setting]\nRunSet=0\n");
    ini.close();
    QProcess sqlite;
    sqlite.start("sqlite3", {folder.databasePath()});
    sqlite.waitForStarted();
    sqlite.write("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<300) "
                 "INSERT INTO TableUser (UserSecondName, UserFirstName, UserMiddleName, DeviceId) "
                 "SELECT 'Second'||i, 'First'||i, 'Middle'||i, "
                 "CASE WHEN i=100 THEN 4418 ELSE -1 END FROM n;\n");
    sqlite.closeWriteChannel();
    sqlite.waitForFinished(-1);
    if (sqlite.exitCode() != 0)
      std::abort();

    state.Irda = std::make_shared<IrdaTransport>(stack);
    state.Irda->Sleep = [](int) {};
    instrument.BlockSize = 200;
    instrument.Attach(*stack);
    instrument.OnCommand = [this](char c) {
      if (c == 'n')
        firstCommandAt = clock.nsecsElapsed();
    };
    windows = CreateProgramWindows(ctx);
    windows->MainForm->show();
    ctx.FormRead->AttemptIntervalMs = 0;
    ctx.FormRead->ConnectPauseMs = 0;
  }

  // One reading; false when it did not reach the read-history window.
  bool read(double &transfer, double &end, double &endCpu) {
    instrument.History = FullHistoryArea();
    instrument.Commands.clear();
    // The last block: the reply that carries the end of the history.
    instrument.Custom['H'] = [this](FakeIrdaStack &) {
      if (std::count(instrument.Commands.begin(), instrument.Commands.end(), 'H') ==
          std::ptrdiff_t((instrument.History.size() + 199) / 200))
        lastBlockAt = clock.nsecsElapsed(), lastBlockCpu = std::clock();
      return false;
    };
    ViewWatcher watcher(ctx.FormViewHist);
    watcher.clock = &clock;
    clock.start();
    windows->MainForm->action("AReadHistory")->trigger();
    if (watcher.shownAt < 0 || lastBlockAt < 0 || firstCommandAt < 0)
      return false;
    transfer = double(lastBlockAt - firstCommandAt) * 1e-9;
    end = double(watcher.shownAt - lastBlockAt) * 1e-9;
    endCpu = double(watcher.shownCpu - lastBlockCpu) / CLOCKS_PER_SEC;
    return true;
  }
};

void BM_EndOfReading(benchmark::State &st) {
  Reading reading;
  double transfers = 0, cpu = 0;
  for (auto _ : st) {
    double transfer = 0, end = 0, endCpu = 0;
    if (!reading.read(transfer, end, endCpu)) {
      st.SkipWithError("the reading did not reach the read-history window");
      return;
    }
    transfers += transfer;
    cpu += endCpu;
    st.SetIterationTime(end);
  }
  st.counters["transfer_s"] = benchmark::Counter(transfers, benchmark::Counter::kAvgIterations);
  // The processor time of the end alone: what it needs on a machine that
  // runs nothing else.
  st.counters["end_cpu_s"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_EndOfReading)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
