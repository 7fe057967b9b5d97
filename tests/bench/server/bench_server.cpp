// The program on a PostgreSQL server over loopback (the server that libpq's
// environment names; scripts/bench.sh starts one with pg_virtualenv):
//  - filing a full reading (13,317 events) through the data module, against
//    the same rows sent with a bare libpq COPY in one transaction;
//  - one person's history (100 of 1,000,000 events) through the data module,
//    against psql running the same query;
//  - start-up to the filled main window with 10,000 people and 1,000,000
//    events, inside this process;
//  - eight desks (processes) filing a full reading each at once, against one
//    desk alone.
#include "FilingProcess.h"
#include "FullHistoryArea.h"
#include "ProgramFolder.h"
#include "QueuedFileDialogs.h"
#include "RecordingMessages.h"
#include "WindowBenchmarks.h"
#include "common/AppContext.h"
#include "common/FileDialogs.h"
#include "db/DatabaseAdmin.h"
#include "db/TDM.h"
#include "history/HistoryRecord.h"
#include "main/MainForm.h"
#include "main/Program.h"
#include "main/StringGrid.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <memory>
#include <vector>

namespace {

constexpr int kUsers = 10000;
constexpr int kEvents = 1000000;
constexpr int kSelectedUser = 5000; // one of the 10,000, with 100 events

// A database of the current layout on the server, made once per name.
class ServerDatabase {
public:
  explicit ServerDatabase(const QString &name) : name_(name) {
    QSqlDatabase admin = QSqlDatabase::addDatabase("QPSQL", "admin-" + name);
    ok_ = admin.open() && QSqlQuery(admin).exec("DROP DATABASE IF EXISTS " + name) &&
          QSqlQuery(admin).exec("CREATE DATABASE " + name);
    admin = QSqlDatabase();
    QSqlDatabase::removeDatabase("admin-" + name);
    ok_ = ok_ && InitServerDatabase(uri()).outcome == AdminResult::Outcome::Done;
  }
  QString uri() const { return "postgresql:///" + name_; }
  bool ok() const { return ok_; }
  bool run(const QByteArray &sql) {
    PGconn *c = PQconnectdb(("dbname=" + name_).toUtf8().constData());
    PGresult *r = PQexec(c, sql.constData());
    const bool done = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
    PQclear(r);
    PQfinish(c);
    return done;
  }
  const QString &name() const { return name_; }

private:
  QString name_;
  bool ok_ = false;
};

ServerDatabase &FilingDatabase() {
  static ServerDatabase db = [] {
    ServerDatabase d("vxbench_filing");
    d.run("INSERT INTO TableUser (UserSecondName, UserFirstName, DeviceId) VALUES "
          "('Holder', 'A', 7001)");
    for (int i = 0; i < 8; ++i)
      d.run(
          "INSERT INTO TableUser (UserSecondName, UserFirstName, DeviceId) VALUES ('Desk', 'B', " +
          QByteArray::number(7100 + i) + ")");
    return d;
  }();
  return db;
}

ServerDatabase &LargeDatabase() {
  static ServerDatabase db = [] {
    ServerDatabase d("vxbench_large");
    d.run("INSERT INTO TableUser (UserSecondName, UserFirstName, UserMiddleName, DeviceId) "
          "SELECT 'Second'||i, 'First'||i, 'Middle'||i, CASE WHEN i%3=0 THEN 1000000+i ELSE -1 "
          "END FROM generate_series(1, " +
          QByteArray::number(kUsers) + ") i");
    d.run("INSERT INTO TableHistory (DeviceId, UserId, DateTimeEvent, EventType, EventValue, "
          "DEValue) SELECT 1000000+(i%3), 1+(i%" +
          QByteArray::number(kUsers) +
          "), 45000+i/1000.0, 1+(i%9), 0.0001*(i%7), 0.001*(i%11) FROM generate_series(1, " +
          QByteArray::number(kEvents) + ") i");
    d.run("ANALYZE");
    return d;
  }();
  return db;
}

std::span<const std::uint8_t> Reading() {
  return {FullHistoryArea().data(), FullHistoryArea().size()};
}

void Clear(ServerDatabase &db) {
  db.run("TRUNCATE TableHistory, TableLastFiled, TableJournal");
}

void ServerFilingThroughDataModule(benchmark::State &st) {
  ServerDatabase &db = FilingDatabase();
  if (!db.ok())
    st.SkipWithError("no server database");
  AppState state;
  TDM dm(state.clock, db.uri());
  dm.Register().People(); // the connection is open, as at a desk
  for (auto _ : st) {
    st.PauseTiming();
    Clear(db);
    st.ResumeTiming();
    const FilingResult r = dm.FileReading(7001, Reading());
    if (r.outcome != FilingResult::Outcome::Filed || r.EventsFiled < 13000)
      st.SkipWithError("not filed");
  }
}
BENCHMARK(ServerFilingThroughDataModule)->Unit(benchmark::kMillisecond)->Iterations(10);

// The decoded rows in COPY's text format, made before timing starts.
QByteArray CopyText() {
  QByteArray text;
  WalkHistory(FullHistoryArea().data(), int(FullHistoryArea().size()),
              [&](const HistoryRecord &r, const HistoryEvent &e) {
                text += "7001\t1\t" + QByteArray::number(r.Time, 'g', 17) + '\t' +
                        QByteArray::number(int(e.Type)) + '\t' +
                        QByteArray::number(e.EventValue, 'g', 17) + '\t' +
                        QByteArray::number(e.DEValue, 'g', 17) + '\n';
              });
  return text;
}

void ServerFilingRawCopy(benchmark::State &st) {
  ServerDatabase &db = FilingDatabase();
  const QByteArray text = CopyText();
  PGconn *c = PQconnectdb(("dbname=" + db.name()).toUtf8().constData());
  for (auto _ : st) {
    st.PauseTiming();
    Clear(db);
    st.ResumeTiming();
    PQclear(PQexec(c, "BEGIN"));
    PQclear(PQexec(c, "COPY TableHistory (DeviceId, UserId, DateTimeEvent, EventType, "
                      "EventValue, DEValue) FROM STDIN"));
    PQputCopyData(c, text.constData(), int(text.size()));
    PQputCopyEnd(c, nullptr);
    while (PGresult *r = PQgetResult(c))
      PQclear(r);
    PGresult *commit = PQexec(c, "COMMIT");
    if (PQresultStatus(commit) != PGRES_COMMAND_OK)
      st.SkipWithError("COPY failed");
    PQclear(commit);
  }
  PQfinish(c);
}
BENCHMARK(ServerFilingRawCopy)->Unit(benchmark::kMillisecond)->Iterations(10);

void ServerHistorySelect(benchmark::State &st) {
  ServerDatabase &db = LargeDatabase();
  AppState state;
  TDM dm(state.clock, db.uri());
  qsizetype rows = 0;
  for (auto _ : st) {
    const std::optional<QList<StoredEvent>> history = dm.History().UserHistory(kSelectedUser, {});
    rows = history ? history->size() : 0;
  }
  if (rows != kEvents / kUsers)
    st.SkipWithError("select failed");
}
BENCHMARK(ServerHistorySelect)->Unit(benchmark::kMicrosecond)->Iterations(200);

// psql started once with one copy of the query and once with 1,001: the
// difference over 1,000 is its time per query, start-up cancelled out.
double PsqlSeconds(const QString &database, int copies) {
  QByteArray script;
  for (int i = 0; i < copies; ++i)
    script +=
        "SELECT * FROM TableHistory WHERE UserId = " + QByteArray::number(kSelectedUser) + ";\n";
  QProcess psql;
  psql.start("psql", {"-X", "-q", "-A", "-t", "-o", "/dev/null", "-d", database});
  psql.waitForStarted();
  QElapsedTimer t;
  t.start();
  psql.write(script);
  psql.closeWriteChannel();
  psql.waitForFinished(-1);
  return double(t.nsecsElapsed()) / 1e9;
}

void ServerHistorySelectPsql(benchmark::State &st) {
  ServerDatabase &db = LargeDatabase();
  for (auto _ : st) {
    const double one = PsqlSeconds(db.name(), 1), many = PsqlSeconds(db.name(), 1001);
    st.SetIterationTime(std::max(0.0, (many - one) / 1000));
  }
}
BENCHMARK(ServerHistorySelectPsql)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(3);

// Start-up on a program folder whose settings name the large server database.
void ServerStartupToFilledMainWindow(benchmark::State &st) {
  ServerDatabase &db = LargeDatabase();
  ProgramFolder folder;
  QFile ini(folder.file("VX4418.ini"));
  ini.open(QIODevice::WriteOnly);
  ini.write("[Program setting]\nRunSet=0\n[Data Base]\nADOFile=" + db.uri().toUtf8() + "\n");
  ini.close();
  for (auto _ : st) {
    AppState state;
    RecordingMessages messages;
    QueuedFileDialogs files;
    AppContext ctx{state, messages, files, folder.path()};
    auto windows = CreateProgramWindows(ctx);
    windows->MainForm->show();
    QCoreApplication::processEvents();
    if (windows->MainForm->SG_User->cells().Cell(0, kUsers).isEmpty() || !messages.shown.empty())
      st.SkipWithError("user list not filled");
  }
}
BENCHMARK(ServerStartupToFilledMainWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

// `desks` processes filing a full reading each (instruments of their own) at
// once; the time from their common start to the last one done.
void Desks(benchmark::State &st, int desks) {
  ServerDatabase &db = FilingDatabase();
  QTemporaryDir dir;
  const QString raw = dir.filePath("reading.raw");
  QFile f(raw);
  f.open(QIODevice::WriteOnly);
  f.write(reinterpret_cast<const char *>(FullHistoryArea().data()),
          qint64(FullHistoryArea().size()));
  f.close();
  for (auto _ : st) {
    Clear(db);
    std::vector<std::unique_ptr<FilingProcess>> running;
    for (int i = 0; i < desks; ++i)
      running.push_back(std::make_unique<FilingProcess>(
          QStringLiteral(VX_FILING_PROGRAM),
          QStringList{"file", db.uri(), raw, QString::number(7100 + i)}));
    for (auto &d : running)
      if (!d->waitFor("READY"))
        st.SkipWithError("a desk did not start");
    QElapsedTimer t;
    t.start();
    for (auto &d : running)
      d->go();
    for (auto &d : running)
      if (!d->waitFor("DONE", 120000) || d->done().value(0) != "1")
        st.SkipWithError("a desk did not file its reading");
    st.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
  }
  st.counters["desks"] = desks;
}
void ServerEightDesks(benchmark::State &st) {
  Desks(st, 8);
}
void ServerOneDesk(benchmark::State &st) {
  Desks(st, 1);
}
BENCHMARK(ServerEightDesks)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(ServerOneDesk)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace

int main(int argc, char **argv) {
  return RunWindowBenchmarks(argc, argv);
}
