#define WIRETUNE_BUILD
#include "Wiretune.h"

#if defined(_WIN32)
#include <winsock2.h>
#else
#include <sys/socket.h>
#include <sys/time.h>
#endif

namespace {

constexpr int BufferSize = 512;
constexpr int TimeoutSeconds = 10;

} // namespace

#if defined(_WIN32)

extern "C" bool SetSockVal(int socket) {
  const SOCKET s = static_cast<SOCKET>(socket);
  const int buffer = BufferSize;
  const int timeoutMs = TimeoutSeconds * 1000;
  // A whole BOOL, as Winsock documents the option; a single byte may be refused.
  const BOOL dontLinger = TRUE;
  setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char *>(&buffer), sizeof buffer);
  setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char *>(&buffer), sizeof buffer);
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&timeoutMs),
             sizeof timeoutMs);
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char *>(&timeoutMs),
             sizeof timeoutMs);
  setsockopt(s, SOL_SOCKET, SO_DONTLINGER, reinterpret_cast<const char *>(&dontLinger),
             sizeof dontLinger);
  return true;
}

#else

extern "C" bool SetSockVal(int socket) {
  const int buffer = BufferSize;
  timeval timeout{};
  timeout.tv_sec = TimeoutSeconds;
  linger noLinger{};
  noLinger.l_onoff = 0;
  noLinger.l_linger = 0;
  setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
  setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
  setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  setsockopt(socket, SOL_SOCKET, SO_LINGER, &noLinger, sizeof noLinger);
  return true;
}

#endif
