#include "state/StopRequest.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// The one thing a signal handler may touch: the end of the pipe it writes to.
volatile std::sig_atomic_t WriteEnd = -1;

void OnSignal(int) {
  const char byte = 1;
  if (WriteEnd >= 0) [[maybe_unused]]
    const ssize_t n = ::write(WriteEnd, &byte, 1);
}
} // namespace

StopRequest::StopRequest(QObject *parent) : QObject(parent) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0)
    return;
  WriteEnd = fds_[0];
  notifier_ = new QSocketNotifier(fds_[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char bytes[16];
    while (::read(fds_[1], bytes, sizeof bytes) > 0) {
    }
    emit requested();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

StopRequest::~StopRequest() {
  if (fds_[0] < 0)
    return;
  std::signal(SIGTERM, SIG_DFL);
  std::signal(SIGINT, SIG_DFL);
  WriteEnd = -1;
  delete notifier_;
  ::close(fds_[0]);
  ::close(fds_[1]);
}
