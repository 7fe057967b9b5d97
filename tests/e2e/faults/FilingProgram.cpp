// A second copy of the program, cut down to the part that files: the fault
// tests run it as a child process, kill it at chosen moments and let two of
// them write into one database at once.
//
//   filing-program store <database> <raw history file> <instrument> <holder>
//       files the raw history under the instrument and holder through the
//       data module, as the read command does;
//   filing-program file <database> <raw history file> <instrument>
//       files the raw history as a reading of the instrument, under its
//       holder, as the exchange does (what was filed before is not filed again);
//   filing-program register <database> <instrument> <holder>
//       registers the instrument to the person, as after a registration
//       exchange (DONE adds 1 when registered, 0 when not);
//   filing-program delete <database> <person>
//       hands back what the person holds and deletes the person with her
//       history, as the main window's commands do (DONE adds the person's
//       instrument, or -1);
//   filing-program read <database>
//       runs the exchange window in mode 1 against the instrument that
//       VX4418_IRDA_DEVICES names, which files the history under its holder
//       and then clears the instrument.
//
// It opens the database, prints READY, waits for one line on standard input,
// prints FILING, does the work and prints DONE <ok 0/1> <milliseconds>
// (read adds the exchange's last result); every operator message is printed as
// MESSAGE <text> before DONE.
#include "QueuedFileDialogs.h"
#include "RecordingMessages.h"
#include "common/AppContext.h"
#include "common/FileDialogs.h"
#include "common/OperatorMessages.h"
#include "db/TDM.h"
#include "exchanges/FormRead.h"
#include "link/VirtualIrdaStack.h"
#include "main/Program.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

namespace {

void say(const QString &line) {
  QTextStream out(stdout);
  out << line << Qt::endl;
}

void waitForGo() {
  std::string line;
  std::getline(std::cin, line);
}

// READY, then the go line, then FILING; the time of the work starts now.
QElapsedTimer begin() {
  say("READY");
  waitForGo();
  say("FILING");
  QElapsedTimer timer;
  timer.start();
  return timer;
}

void setDatabase(AppState &state, const QString &path) {
  state.Paths.ADOFile = path;
}

// The data module on the database, and the raw history to file, as the
// program holds them when a reading is filed: the database already open.
struct Desk {
  AppState state;
  std::unique_ptr<TDM> dm;
  QByteArray history;

  // 0 when ready; else the exit code (2: bad arguments, 3: no database).
  int open(const QString &database, const QString &rawFile = {}) {
    setDatabase(state, database);
    QFile raw(rawFile);
    if (!rawFile.isEmpty() && !raw.open(QIODevice::ReadOnly))
      return 2;
    history = raw.readAll();
    dm = std::make_unique<TDM>(state.clock, state.Paths.ADOFile);
    return dm->Register().People() ? 0 : 3;
  }
  const std::uint8_t *bytes() const {
    return reinterpret_cast<const std::uint8_t *>(history.constData());
  }
};

int store(const QStringList &args) {
  Desk desk;
  if (args.size() != 6)
    return 2;
  if (const int failed = desk.open(args[2], args[3]))
    return failed;
  const QElapsedTimer timer = begin();
  const bool ok = desk.dm->History().StoreInstrumentHistory(desk.bytes(), int(desk.history.size()),
                                                            args[4].toInt(), args[5].toInt());
  say(QStringLiteral("DONE %1 %2").arg(int(ok)).arg(timer.elapsed()));
  return ok ? 0 : 1;
}

int file(const QStringList &args) {
  Desk desk;
  if (args.size() != 5)
    return 2;
  if (const int failed = desk.open(args[2], args[3]))
    return failed;
  const QElapsedTimer timer = begin();
  const FilingResult r =
      desk.dm->FileReading(args[4].toInt(), {desk.bytes(), std::size_t(desk.history.size())});
  const bool ok = r.outcome == FilingResult::Outcome::Filed;
  say(QStringLiteral("DONE %1 %2 %3").arg(int(ok)).arg(timer.elapsed()).arg(r.EventsFiled));
  return ok ? 0 : 1;
}

int registerDevice(const QStringList &args) {
  Desk desk;
  if (args.size() != 5)
    return 2;
  if (const int failed = desk.open(args[2]))
    return failed;
  REG_STATE reg;
  reg.DeviceId = args[3].toInt();
  reg.UserId = args[4].toInt();
  const QElapsedTimer timer = begin();
  const Registration r = desk.dm->Register().RegisterDevice(reg);
  const bool ok = r == Registration::Registered || r == Registration::AlreadyHeld;
  say(QStringLiteral("DONE %1 %2 %3")
          .arg(int(ok))
          .arg(timer.elapsed())
          .arg(int(r == Registration::Registered)));
  return ok ? 0 : 1;
}

int deletePerson(const QStringList &args) {
  Desk desk;
  if (args.size() != 4)
    return 2;
  if (const int failed = desk.open(args[2]))
    return failed;
  const int person = args[3].toInt();
  const QElapsedTimer timer = begin();
  const PersonLookup p = desk.dm->Register().LookUpPerson(person);
  bool ok = p.outcome == PersonLookup::Outcome::Found;
  if (ok && p.person.HoldsInstrument())
    ok = desk.dm->Register().CancelRegistration(p.person.DeviceId, person);
  ok = ok && desk.dm->Register().DeleteUserWithHistory(person);
  say(QStringLiteral("DONE %1 %2 %3")
          .arg(int(ok))
          .arg(timer.elapsed())
          .arg(p.person.HoldsInstrument() ? p.person.DeviceId : -1));
  return ok ? 0 : 1;
}

class PrintedMessages : public RecordingMessages {
public:
  void error(QWidget *w, const QString &text) override {
    say("MESSAGE " + text);
    RecordingMessages::error(w, text);
  }
  void notice(QWidget *w, const QString &text, bool cancel) override {
    say("MESSAGE " + text);
    RecordingMessages::notice(w, text, cancel);
  }
};

int read(const QStringList &args) {
  if (args.size() != 3)
    return 2;
  AppState state;
  setDatabase(state, args[2]);
  VirtualIrdaConfig config;
  config.LibraryFolder = VX_BIN_DIR;
  state.Irda = std::make_shared<IrdaTransport>(std::make_unique<VirtualIrdaStack>(config));
  PrintedMessages messages;
  QueuedFileDialogs files;
  AppContext ctx{state, messages, files, QString()};
  auto windows = CreateProgramWindows(ctx);
  ctx.FormRead->AttemptIntervalMs = 10;
  ctx.FormRead->ConnectPauseMs = 0;
  // Nobody looks at it: no repainting after every history block.
  ctx.FormRead->setUpdatesEnabled(false);
  if (!ctx.DM->Register().People())
    return 3;
  const QElapsedTimer timer = begin();
  ctx.FormRead->Tag = TFormRead::ReadHistoryMode;
  ctx.FormRead->ApplyTexts(TFormRead::ReadHistoryMode);
  const bool ok = ctx.FormRead->exec() == QDialog::Accepted &&
                  ctx.FormRead->Result().outcome == ExchangeOutcome::Done &&
                  ctx.FormRead->Result().holder.UserId > 0;
  say(QStringLiteral("DONE %1 %2 %3")
          .arg(int(ok))
          .arg(timer.elapsed())
          .arg(ctx.FormRead->Result().linkCode));
  return ok ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[]) {
  QApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() >= 2 && args[1] == QLatin1String("store"))
    return store(args);
  if (args.size() >= 2 && args[1] == QLatin1String("file"))
    return file(args);
  if (args.size() >= 2 && args[1] == QLatin1String("read"))
    return read(args);
  if (args.size() >= 2 && args[1] == QLatin1String("register"))
    return registerDevice(args);
  if (args.size() >= 2 && args[1] == QLatin1String("delete"))
    return deletePerson(args);
  std::fputs("usage: filing-program store DB HISTORY INSTRUMENT HOLDER | file DB HISTORY "
             "INSTRUMENT | register DB INSTRUMENT HOLDER | delete DB PERSON | read DB\n",
             stderr);
  return 2;
}
