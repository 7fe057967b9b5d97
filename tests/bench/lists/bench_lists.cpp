// Filling and first painting the two lists of the main window on large
// registers and histories, against a table with one widget item per cell.
#include "LargeProgramFolder.h"
#include "QueuedFileDialogs.h"
#include "RecordingMessages.h"
#include "WindowBenchmarks.h"
#include "common/AppContext.h"
#include "common/FileDialogs.h"
#include "common/OperatorMessages.h"
#include "db/TDM.h"
#include "main/HistoryList.h"
#include "main/MainForm.h"
#include "main/Program.h"
#include "main/StringGrid.h"

#include <QTableWidget>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {

constexpr int kUsers = 10000;

// A copy of the supplied database with kUsers people; person 1 has 100,000
// events and person 2 300,000.
const ProgramFolder &largeFolder() {
  static auto folder = FilledProgramFolder(
      InsertUsers(kUsers) +
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<400000) "
      "INSERT INTO TableHistory (DeviceId, UserId, DateTimeEvent, EventType, EventValue, "
      "DEValue) SELECT 1000000+(i%3), CASE WHEN i<=100000 THEN 1 ELSE 2 END, "
      "45000+i/1000.0, 1+(i%9), 0.0001*(i%7), 0.001*(i%11) FROM n;");
  return *folder;
}

// One person's history selected through the program's data module on the
// large database.
struct History {
  AppState state;
  TDM dm{state.clock, largeFolder().databasePath()};
  QList<StoredEvent> rows;
  explicit History(int userId) {
    const std::optional<QList<StoredEvent>> selected = dm.History().UserHistory(userId, {});
    if (!selected)
      std::abort();
    rows = *selected;
  }
};

History &historyOf(int userId) {
  static History first(1), second(2);
  return userId == 1 ? first : second;
}

constexpr int kRowsOnScreen = 30;

template <class View> void paintFirstScreen(View &view) {
  view.resize(900, 24 * kRowsOnScreen);
  benchmark::DoNotOptimize(view.grab());
}

// Seconds per event, for comparing the two history sizes.
void PerEvent(benchmark::State &st, int events) {
  st.counters["events"] = events;
  st.counters["per_event"] = benchmark::Counter(
      events, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The history list as the main window fills it: the rows to show picked out
// of the events, the last one selected, the first screen painted.
void BM_HistoryList(benchmark::State &st) {
  History &h = historyOf(int(st.range(0)));
  const int events = int(h.rows.size());
  for (auto _ : st) {
    StringGrid grid(new HistoryGridModel, StringGrid::Lines::Both);
    auto &cells = static_cast<HistoryGridModel &>(grid.cells());
    const int written = cells.Fill(h.rows, h.state.Texts, false);
    grid.SelectRow(written);
    grid.scrollTo(cells.index(written - 1, 0));
    paintFirstScreen(grid);
  }
  PerEvent(st, events);
}
BENCHMARK(BM_HistoryList)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same rows in a table widget with one item per cell, texts formatted
// as the rows are put in.
void BM_HistoryTableWidget(benchmark::State &st) {
  History &h = historyOf(int(st.range(0)));
  HistoryGridModel source;
  const int written = source.Fill(h.rows, h.state.Texts, false);
  for (auto _ : st) {
    QTableWidget table(source.RowCount() - 1, HistoryGridModel::Columns);
    for (int r = 1; r < source.RowCount(); ++r)
      for (int c = 0; c < HistoryGridModel::Columns; ++c)
        table.setItem(r - 1, c, new QTableWidgetItem(source.Cell(c, r)));
    table.selectRow(written - 1);
    paintFirstScreen(table);
  }
  PerEvent(st, written);
}
BENCHMARK(BM_HistoryTableWidget)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3);

// The user list with kUsers people: the select and the fill.
void BM_UserList(benchmark::State &st) {
  AppState state;
  RecordingMessages messages;
  QueuedFileDialogs files;
  AppContext ctx{state, messages, files, largeFolder().path()};
  auto windows = CreateProgramWindows(ctx);
  ctx.DM->SetLocation(largeFolder().databasePath());
  for (auto _ : st) {
    windows->MainForm->FillUserList();
    if (windows->MainForm->SG_User->cells().Cell(0, kUsers).isEmpty())
      st.SkipWithError("user list not filled");
  }
  st.counters["users"] = kUsers;
}
BENCHMARK(BM_UserList)->Unit(benchmark::kMillisecond)->Iterations(10);

// The same select, its rows put into a table widget with one item per cell.
void BM_UserTableWidget(benchmark::State &st) {
  AppState state;
  TDM dm(state.clock, largeFolder().databasePath());
  for (auto _ : st) {
    const std::optional<QList<Person>> people = dm.Register().People();
    if (!people)
      st.SkipWithError("select failed");
    const QList<Person> &users = *people;
    QTableWidget table(int(users.size()), 4);
    for (int r = 0; r < users.size(); ++r) {
      const Person &p = users[r];
      table.setItem(r, 0, new QTableWidgetItem(p.SecondName));
      table.setItem(r, 1, new QTableWidgetItem(p.FirstName));
      table.setItem(r, 2, new QTableWidgetItem(p.MiddleName));
      table.setItem(r, 3, new QTableWidgetItem(QString::number(p.DeviceId)));
    }
  }
  st.counters["users"] = kUsers;
}
BENCHMARK(BM_UserTableWidget)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char **argv) {
  return RunWindowBenchmarks(argc, argv);
}
