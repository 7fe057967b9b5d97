// Importing another database file of 20,000 people and 200,000 events, none
// of them known yet, into a fresh copy of the supplied database through
// ExternalImport, against the same merge written with the SQLite C API: one
// transaction, the local people in a hash, one prepared insert per table.
#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <memory>
#include <sqlite3.h>
#include <string>
#include <unordered_map>

#include "LargeProgramFolder.h"
#include "db/TDM.h"
#include "import/ExternalImport.h"
#include "state/AppState.h"

namespace {
constexpr int People = 20000;
constexpr int Events = 200000;

// The other file, built once.
const ProgramFolder &OtherSite() {
  static const std::unique_ptr<ProgramFolder> folder = FilledProgramFolder(
      "DELETE FROM TableHistory; DELETE FROM TableUser;" + InsertUsers(People) +
      "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i<" +
      QByteArray::number(Events - 1) +
      ") INSERT INTO TableHistory SELECT 1000000 + i % 977, 1 + i % " + QByteArray::number(People) +
      ", 40000 + i / 1000.0, 1 + i % 9, i * 1e-6, i * 1e-3 FROM n;");
  return *folder;
}

void ImportThroughProgram(benchmark::State &state) {
  const QString other = OtherSite().databasePath();
  for (auto _ : state) {
    state.PauseTiming();
    auto local = std::make_unique<ProgramFolder>(false);
    AppState app;
    auto dm = std::make_unique<TDM>(app.clock, local->databasePath());
    ExternalImport import(dm->Connection());
    state.ResumeTiming();
    const ImportResult result = import.Run(other);
    if (result.outcome != ImportOutcome::Merged || result.EventsCopied != Events)
      state.SkipWithError("import failed");
    state.PauseTiming();
    dm.reset();
    local.reset();
    state.ResumeTiming();
  }
  state.counters["people"] = People;
  state.counters["events"] = Events;
}

std::string NameKey(sqlite3_stmt *s, int first) {
  std::string key;
  for (int c = first; c < first + 3; ++c) {
    if (const unsigned char *text = sqlite3_column_text(s, c))
      key += reinterpret_cast<const char *>(text);
    key += '\x1f';
  }
  return key;
}

bool MergeThroughSqlite(sqlite3 *local, sqlite3 *other) {
  sqlite3_stmt *select = nullptr, *person = nullptr, *event = nullptr;
  bool ok = sqlite3_exec(local, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
  std::unordered_map<std::string, sqlite3_int64> byName;
  sqlite3_prepare_v2(local,
                     "SELECT UserId, UserSecondName, UserFirstName, UserMiddleName FROM TableUser",
                     -1, &select, nullptr);
  while (sqlite3_step(select) == SQLITE_ROW)
    byName.try_emplace(NameKey(select, 1), sqlite3_column_int64(select, 0));
  sqlite3_finalize(select);

  std::unordered_map<sqlite3_int64, sqlite3_int64> localKeyOf;
  sqlite3_prepare_v2(other,
                     "SELECT UserId, UserSecondName, UserFirstName, UserMiddleName FROM TableUser",
                     -1, &select, nullptr);
  sqlite3_prepare_v2(local,
                     "INSERT INTO TableUser (UserSecondName, UserFirstName, UserMiddleName, "
                     "DeviceId) VALUES (?, ?, ?, -1)",
                     -1, &person, nullptr);
  while (ok && sqlite3_step(select) == SQLITE_ROW) {
    auto [it, added] = byName.try_emplace(NameKey(select, 1), 0);
    if (added) {
      for (int c = 1; c <= 3; ++c)
        sqlite3_bind_value(person, c, sqlite3_column_value(select, c));
      ok = sqlite3_step(person) == SQLITE_DONE;
      sqlite3_reset(person);
      it->second = sqlite3_last_insert_rowid(local);
    }
    localKeyOf[sqlite3_column_int64(select, 0)] = it->second;
  }
  sqlite3_finalize(select);
  sqlite3_finalize(person);

  sqlite3_prepare_v2(other,
                     "SELECT DeviceId, UserId, DateTimeEvent, EventType, EventValue, DEValue "
                     "FROM TableHistory WHERE EventType IS NOT NULL",
                     -1, &select, nullptr);
  sqlite3_prepare_v2(local,
                     "INSERT INTO TableHistory (DeviceId,UserId, DateTimeEvent, EventType, "
                     "EventValue, DEValue) VALUES(?, ?, ?, ?, ?, ?)",
                     -1, &event, nullptr);
  while (ok && sqlite3_step(select) == SQLITE_ROW) {
    const auto key = localKeyOf.find(sqlite3_column_int64(select, 1));
    if (key == localKeyOf.end())
      continue;
    for (int c = 0; c < 6; ++c)
      sqlite3_bind_value(event, c + 1, sqlite3_column_value(select, c));
    sqlite3_bind_int64(event, 2, key->second);
    ok = sqlite3_step(event) == SQLITE_DONE;
    sqlite3_reset(event);
  }
  sqlite3_finalize(select);
  sqlite3_finalize(event);
  return sqlite3_exec(local, ok ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr) == SQLITE_OK &&
         ok;
}

void ImportThroughSqlite(benchmark::State &state) {
  const QByteArray other = OtherSite().databasePath().toUtf8();
  for (auto _ : state) {
    state.PauseTiming();
    auto local = std::make_unique<ProgramFolder>(false);
    const QByteArray path = local->databasePath().toUtf8();
    sqlite3 *l = nullptr, *o = nullptr;
    state.ResumeTiming();
    if (sqlite3_open_v2(path.constData(), &l, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_open_v2(other.constData(), &o, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        !MergeThroughSqlite(l, o))
      state.SkipWithError("merge failed");
    sqlite3_close(o);
    sqlite3_close(l);
    state.PauseTiming();
    local.reset();
    state.ResumeTiming();
  }
  state.counters["people"] = People;
  state.counters["events"] = Events;
}
} // namespace

BENCHMARK(ImportThroughSqlite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(ImportThroughProgram)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  QCoreApplication app(argc, argv); // the SQL driver is a plugin
  OtherSite();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
