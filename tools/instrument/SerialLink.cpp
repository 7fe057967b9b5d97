#include "SerialLink.h"

#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

SerialLink::SerialLink(QString linkPath, Instrument &instrument, const DeviceIdentity &identity,
                       const FaultPlan &plan, FaultBudget &budget, bool verbose)
    : linkPath(std::move(linkPath)), instrument(instrument), identity(identity), plan(plan),
      budget(budget), verbose(verbose) {}

SerialLink::~SerialLink() {
  closePty();
  if (!linkPath.isEmpty())
    QFile::remove(linkPath);
}

void SerialLink::log(const QString &text) const {
  if (verbose)
    QTextStream(stderr) << "[serial] " << text << '\n';
}

bool SerialLink::open(QString &error) {
  auto failed = [&](const char *what) {
    error = QStringLiteral("cannot make a pseudo-terminal (%1): %2")
                .arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
    closePty();
    return false;
  };
  master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0)
    return failed("posix_openpt");
  if (grantpt(master) != 0 || unlockpt(master) != 0)
    return failed("unlockpt");
  const char *path = ptsname(master);
  if (!path)
    return failed("ptsname");
  const QString terminal = QString::fromLocal8Bit(path);
  slaveHeld = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slaveHeld < 0)
    return failed("open");
  termios raw{};
  if (tcgetattr(slaveHeld, &raw) == 0) {
    cfmakeraw(&raw);
    tcsetattr(slaveHeld, TCSANOW, &raw);
  }
  // The host's replies must never stop the instrument: a full terminal drops them.
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  events = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (events < 0 || inotify_add_watch(events, path, IN_OPEN | IN_CLOSE) < 0)
    return failed("inotify");
  openings = 0;

  QString shown = terminal;
  if (!linkPath.isEmpty()) {
    const QString temporary = linkPath + QStringLiteral(".new");
    QFile::remove(temporary);
    if (symlink(path, QFile::encodeName(temporary).constData()) != 0 ||
        std::rename(QFile::encodeName(temporary).constData(),
                    QFile::encodeName(linkPath).constData()) != 0)
      return failed("symlink");
    shown = linkPath;
  }
  hostNotifier = std::make_unique<QSocketNotifier>(master, QSocketNotifier::Read);
  connect(hostNotifier.get(), &QSocketNotifier::activated, this, &SerialLink::readHost);
  eventNotifier = std::make_unique<QSocketNotifier>(events, QSocketNotifier::Read);
  connect(eventNotifier.get(), &QSocketNotifier::activated, this, &SerialLink::takeOpenings);
  log("terminal " + terminal);
  QTextStream(stdout) << "SERIAL " << shown << Qt::endl;
  return true;
}

void SerialLink::closePty() {
  endLink();
  hostNotifier.reset();
  eventNotifier.reset();
  for (int *fd : {&master, &slaveHeld, &events}) {
    if (*fd >= 0)
      ::close(*fd);
    *fd = -1;
  }
}

void SerialLink::takeOpenings() {
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t n = read(events, buffer, sizeof buffer);
    if (n <= 0)
      return;
    for (ssize_t at = 0; at < n;) {
      const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
      if (event->mask & IN_OPEN) {
        if (openings++ == 0) {
          log("host opened the port");
          session = new LinkSession(*this, instrument, identity, plan, budget, verbose, this);
          session->startFraming();
        }
      } else if ((event->mask & IN_CLOSE) && openings > 0 && --openings == 0) {
        log("host closed the port");
        endLink();
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
}

void SerialLink::endLink() {
  if (session)
    session->deleteLater();
  session = nullptr;
}

void SerialLink::readHost() {
  // An opening seen first: its bytes belong to its link.
  takeOpenings();
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0)
      return;
    if (session)
      session->receive(QByteArray(buffer, static_cast<qsizetype>(n)));
  }
}

void SerialLink::write(const QByteArray &bytes) {
  qsizetype sent = 0;
  while (master >= 0 && sent < bytes.size()) {
    const ssize_t n = ::write(master, bytes.constData() + sent, std::size_t(bytes.size() - sent));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      log("terminal full, reply dropped");
      return;
    }
    sent += n;
  }
}

void SerialLink::hangUp() {
  // Later: the session that asks is still running. The infrared link drops,
  // not the adapter: what was sent before the drop still reaches the host,
  // as a serial port keeps what it received. So the terminal goes only once
  // the host has read it (or after two seconds).
  QTimer::singleShot(0, this, [this] { hangUpWhenRead(0, 0); });
}

void SerialLink::hangUpWhenRead(int waitedMs, int emptyChecks) {
  int unread = 0;
  if (slaveHeld >= 0 && ioctl(slaveHeld, FIONREAD, &unread) != 0)
    unread = 0;
  // Two empty looks in a row: bytes on their way into the terminal's queue
  // are not taken for read.
  emptyChecks = unread > 0 ? 0 : emptyChecks + 1;
  if (emptyChecks < 2 && waitedMs < 2000) {
    QTimer::singleShot(
        2, this, [this, waitedMs, emptyChecks] { hangUpWhenRead(waitedMs + 2, emptyChecks); });
    return;
  }
  log("closing the port");
  closePty();
  QString error;
  if (!open(error))
    QTextStream(stderr) << "vx4418-instrument: " << error << '\n';
}
