/* A library of the right name without the SetSockVal export. */
__attribute__((visibility("default"))) int SetSockValue(int socket) {
  return socket;
}
