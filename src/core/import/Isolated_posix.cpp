#include "import/Isolated.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The child's end of the pipe, written in blocks.
class PipeOutput final : public IsolatedOutput {
public:
  explicit PipeOutput(int fd) : fd_(fd) {}
  void write(const QByteArray &bytes) override {
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0 && !failed_) {
      const ssize_t n = ::write(fd_, data, size_t(left));
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0) {
        failed_ = true;
        break;
      }
      data += n;
      left -= n;
    }
  }
  bool failed() const { return failed_; }

private:
  int fd_;
  bool failed_ = false;
};

[[noreturn]] void RunChild(const std::function<void(IsolatedOutput &)> &work, int fd) {
  // A fault here must end this process quietly, not run the program's own
  // crash handling.
  for (int sig : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT})
    std::signal(sig, SIG_DFL);
  PipeOutput output(fd);
  work(output);
  _exit(output.failed() ? 2 : 0);
}

} // namespace

bool RunIsolated(const std::function<void(IsolatedOutput &)> &work, QByteArray &output,
                 qint64 maxOutputBytes, int idleTimeoutMs) {
  output.clear();
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0)
    return false;
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (pid == 0) {
    close(fds[0]);
    RunChild(work, fds[1]);
  }
  close(fds[1]);

  bool whole = true;
  char block[65536];
  for (;;) {
    pollfd readable{fds[0], POLLIN, 0};
    const int ready = poll(&readable, 1, idleTimeoutMs);
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready <= 0) {
      whole = false; // the child hangs
      break;
    }
    const ssize_t n = read(fds[0], block, sizeof block);
    if (n < 0 && errno == EINTR)
      continue;
    if (n == 0)
      break;
    if (n < 0 || output.size() + n > maxOutputBytes) {
      whole = false;
      break;
    }
    output.append(block, n);
  }
  close(fds[0]);
  if (!whole)
    kill(pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  whole = whole && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!whole)
    output.clear();
  return whole;
}
