// StoreInstrumentHistory of a full history area (266,340 bytes, 13,317
// events) into a fresh copy of the supplied database, against the same
// decoding and inserts through the SQLite C API in one transaction with one
// prepared statement.
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>
#include <sqlite3.h>
#include <vector>

#include "FullHistoryArea.h"
#include "db/TDM.h"
#include "history/HistoryRecord.h"
#include "link/HistoryArea.h"
#include "state/AppState.h"

namespace {
const std::vector<std::uint8_t> &Area() {
  return FullHistoryArea();
}

// A fresh copy of the supplied database for one iteration.
struct FreshDb {
  QTemporaryDir dir;
  QString path = dir.filePath(QStringLiteral("dbVX4418.db"));
  bool ok = QFile::copy(QStringLiteral(VX_SUPPLIED_DB), path) &&
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
};

void StoreThroughDataModule(benchmark::State &state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto db = std::make_unique<FreshDb>();
    AppState app;
    auto dm = std::make_unique<TDM>(app.clock, db->path);
    if (!db->ok || !dm->History().PurgeUntypedEvents()) // opens the connection
      state.SkipWithError("cannot open the database copy");
    state.ResumeTiming();
    if (!dm->History().StoreInstrumentHistory(Area().data(), int(Area().size()), 1203, 1))
      state.SkipWithError("store failed");
    state.PauseTiming();
    dm.reset();
    db.reset();
    state.ResumeTiming();
  }
  state.counters["events"] = double(Area().size() / HistoryRecord::Size);
}

void StoreThroughSqlite(benchmark::State &state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto db = std::make_unique<FreshDb>();
    sqlite3 *h = nullptr;
    if (!db->ok || sqlite3_open_v2(db->path.toUtf8().constData(), &h, SQLITE_OPEN_READWRITE,
                                   nullptr) != SQLITE_OK)
      state.SkipWithError("cannot open the database copy");
    sqlite3_busy_timeout(h, 5000);
    sqlite3_exec(h, "DELETE FROM TableHistory WHERE EventType IS NULL", nullptr, nullptr, nullptr);
    state.ResumeTiming();

    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(h,
                       "INSERT INTO TableHistory (DeviceId,UserId, DateTimeEvent, EventType, "
                       "EventValue, DEValue) VALUES(:PDeviceId, :PUserId, :PDateTimeEvent, "
                       ":PEventType, :PEventValue, :PDEValue)",
                       -1, &stmt, nullptr);
    sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    bool ok = true;
    WalkHistory(Area().data(), int(Area().size()),
                [&](const HistoryRecord &record, const HistoryEvent &event) {
                  sqlite3_bind_int(stmt, 1, 1203);
                  sqlite3_bind_int(stmt, 2, 1);
                  sqlite3_bind_double(stmt, 3, record.Time);
                  sqlite3_bind_int(stmt, 4, int(event.Type));
                  sqlite3_bind_double(stmt, 5, event.EventValue);
                  sqlite3_bind_double(stmt, 6, event.DEValue);
                  ok = sqlite3_step(stmt) == SQLITE_DONE && ok;
                  sqlite3_reset(stmt);
                });
    sqlite3_finalize(stmt);
    ok = sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK && ok;
    if (!ok)
      state.SkipWithError("store failed");

    state.PauseTiming();
    sqlite3_close(h);
    db.reset();
    state.ResumeTiming();
  }
  state.counters["events"] = double(Area().size() / HistoryRecord::Size);
}

// Reading a history of 300,000 events into typed rows, as the history
// list does.
void OpenLargeHistory(benchmark::State &state) {
  FreshDb db;
  AppState app;
  TDM dm(app.clock, db.path);
  for (int i = 0; i < 23 && db.ok; ++i) // 23 readings of 13,317 events
    dm.History().StoreInstrumentHistory(Area().data(), int(Area().size()), 1203, 1);
  qsizetype rows = 0;
  for (auto _ : state) {
    const std::optional<QList<StoredEvent>> history = dm.History().UserHistory(1, {});
    if (!history)
      state.SkipWithError("select failed");
    rows = history ? history->size() : 0;
  }
  state.counters["rows"] = double(rows);
}
} // namespace

BENCHMARK(OpenLargeHistory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(StoreThroughSqlite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(StoreThroughDataModule)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  QCoreApplication app(argc, argv); // the SQL driver is a plugin
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
