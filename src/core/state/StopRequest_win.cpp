#include "state/StopRequest.h"

// Windows ends a desktop program through its main window; nothing to catch.
StopRequest::StopRequest(QObject *parent) : QObject(parent) {}

StopRequest::~StopRequest() = default;
