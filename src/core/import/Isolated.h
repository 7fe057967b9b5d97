#pragma once
#include <QByteArray>
#include <functional>

// Where isolated work sends its result.
class IsolatedOutput {
public:
  virtual ~IsolatedOutput() = default;
  virtual void write(const QByteArray &bytes) = 0;
};

// Runs work apart from the program where the platform allows it (a child
// process on Linux), so that a library that crashes or hangs on a damaged
// file takes only the child down. Returns true when work ran to its end;
// output then holds everything it wrote. False, with output empty, when work
// crashed, wrote more than maxOutputBytes, or wrote nothing for idleTimeoutMs.
bool RunIsolated(const std::function<void(IsolatedOutput &)> &work, QByteArray &output,
                 qint64 maxOutputBytes, int idleTimeoutMs);
