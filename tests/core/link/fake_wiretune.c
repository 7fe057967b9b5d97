/* A stand-in for the socket options library: records each call and sets a
   receive time-out the test can read back from the socket. */
#include <stdbool.h>
#include <sys/socket.h>
#include <sys/time.h>

__attribute__((visibility("default"))) int LinkTestCalls = 0;
__attribute__((visibility("default"))) int LinkTestSocket = -1;

__attribute__((visibility("default"))) bool SetSockVal(int socket) {
  ++LinkTestCalls;
  LinkTestSocket = socket;
  struct timeval limit = {1, 500000};
  setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  return true;
}
