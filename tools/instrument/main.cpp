// vx4418-instrument: a virtual instrument on the virtual infrared link, or
// behind a serial port.

#include "HistoryGenerator.h"
#include "Instrument.h"
#include "InstrumentState.h"
#include "LinkSession.h"
#include "SerialLink.h"
#include "SimulatorOptions.h"
#include "TcpLink.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
}

int fail(const QString &message) {
  QTextStream(stderr) << "vx4418-instrument: " << message << '\n';
  return 2;
}

// The instrument as the command line describes it, for a state file that does not exist yet.
bool newInstrument(const SimulatorOptions &options, InstrumentState &state, QString &error) {
  state = InstrumentState::fresh();
  state.number = options.number;
  if (options.parameters)
    state.parameters = *options.parameters;
  QDateTime activation(QDate(2024, 1, 15), QTime(8, 30, 0));
  if (options.activation)
    activation = *options.activation;
  state.activation = DateTimeGroup(activation);
  if (!options.historyPath.isEmpty()) {
    QFile file(options.historyPath);
    if (!file.open(QIODevice::ReadOnly) || file.size() > 16 * 1024 * 1024) {
      error = QStringLiteral("cannot read the history %1: %2")
                  .arg(options.historyPath,
                       file.isOpen() ? QStringLiteral("larger than 16 MiB") : file.errorString());
      return false;
    }
    state.history = file.readAll();
    state.de = LastRecordDose(state.history);
  } else if (options.events > 0) {
    const GeneratedHistory history =
        GenerateHistory(options.events, activation.addSecs(3600), options.seed);
    state.history = history.records;
    state.de = history.de;
  }
  if (options.de)
    state.de = *options.de;
  return true;
}

} // namespace

int main(int argc, char *argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("vx4418-instrument");

  SimulatorOptions options;
  QString error;
  if (!ParseSimulatorOptions(app.arguments(), options, error))
    return fail(error + "\nTry --help.");

  InstrumentState state;
  if (!options.statePath.isEmpty() && QFileInfo::exists(options.statePath)) {
    if (!LoadStateFile(options.statePath, state, error))
      return fail(QStringLiteral("%1: %2").arg(options.statePath, error));
    if (options.seedGiven)
      QTextStream(stderr) << "vx4418-instrument: " << options.statePath
                          << " exists; its state is used instead of the command line's\n";
  } else if (!newInstrument(options, state, error)) {
    return fail(error);
  }

  Instrument instrument(state, options.statePath, options.blockSize);
  if (!instrument.save(error))
    return fail(QStringLiteral("cannot write %1: %2").arg(options.statePath, error));

  if (socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
    return fail("cannot watch for signals");
  QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
  QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  FaultBudget budget;
  budget.linksLeft = options.faultyLinks;
  DeviceIdentity &identity = options.identity;
  if (options.serial) {
    SerialLink serial(options.serialLink, instrument, identity, options.faults, budget,
                      options.verbose);
    if (!serial.open(error))
      return fail(error);
    return app.exec();
  }

  QTcpServer server;
  if (!server.listen(QHostAddress::LocalHost, options.port))
    return fail(QStringLiteral("cannot listen on 127.0.0.1:%1: %2")
                    .arg(options.port)
                    .arg(server.errorString()));
  identity.id = options.deviceId.value_or(0x44180000u | server.serverPort());
  QObject::connect(&server, &QTcpServer::newConnection, [&] {
    while (QTcpSocket *socket = server.nextPendingConnection())
      new TcpLink(socket, instrument, identity, options.faults, budget, options.verbose);
  });

  QTextStream(stdout) << "LISTENING " << server.serverPort() << Qt::endl;
  const int result = app.exec();
  server.close();
  return result;
}
