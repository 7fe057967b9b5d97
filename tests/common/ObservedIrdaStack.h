#pragma once
#include <functional>
#include <set>
#include <sys/socket.h>
#include <sys/time.h>

#include "link/ChosenIrdaStack.h"
#include "link/VirtualIrdaStack.h"

// The real virtual IrDA link where, with waitMs above 0, every connected
// socket gets that receive and send time-out, so an instrument left silent
// costs a fraction of a second per unanswered request instead of the options
// library's ten seconds (a test that expects every reply keeps the ten
// seconds: a busy machine then never fails an attempt by accident).
class ShortWaitIrdaStack : public VirtualIrdaStack {
public:
  ShortWaitIrdaStack(VirtualIrdaConfig config, int waitMs)
      : VirtualIrdaStack(std::move(config)), waitMs_(waitMs) {}

  int Connect(IrdaSocket socket, const void *address, int length) override {
    const int result = VirtualIrdaStack::Connect(socket, address, length);
    if (result == 0 && waitMs_ > 0) {
      const timeval wait{waitMs_ / 1000, waitMs_ % 1000 * 1000};
      setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
      setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    }
    return result;
  }

private:
  int waitMs_;
};

// The stack the settings choose (the socket or a serial port), observed by a
// test: attempts counts the exchange attempts (each starts the stack), and
// linkClosed runs each time a connection to an instrument is closed,
// that is at the end of every exchange attempt that got connected, after
// everything the attempt filed or cleared.
class ObservedIrdaStack : public ChosenIrdaStack {
public:
  using ChosenIrdaStack::ChosenIrdaStack;

  std::function<void()> linkClosed;
  int attempts = 0; // attempts started so far

  int Startup(std::uint16_t version) override {
    ++attempts;
    return ChosenIrdaStack::Startup(version);
  }

  int Connect(IrdaSocket socket, const void *address, int length) override {
    const int result = ChosenIrdaStack::Connect(socket, address, length);
    if (result == 0)
      connected_.insert(socket);
    return result;
  }
  int Close(IrdaSocket socket) override {
    const int result = ChosenIrdaStack::Close(socket);
    if (connected_.erase(socket) != 0 && linkClosed)
      linkClosed();
    return result;
  }

private:
  std::set<IrdaSocket> connected_;
};
