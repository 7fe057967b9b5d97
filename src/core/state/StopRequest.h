#pragma once
#include <QObject>

class QSocketNotifier;

// A request from outside to end the run (SIGTERM from a session that logs
// out, SIGINT from a terminal), delivered as a signal on the thread's event
// loop, so the program ends the way its own exit command does and keeps its
// settings. One at a time; while it lives it owns the handlers of both
// signals, and the default ones are back when it goes.
class StopRequest : public QObject {
  Q_OBJECT
public:
  explicit StopRequest(QObject *parent = nullptr);
  ~StopRequest() override;
  StopRequest(const StopRequest &) = delete;
  StopRequest &operator=(const StopRequest &) = delete;

signals:
  void requested();

private:
  int fds_[2] = {-1, -1};
  QSocketNotifier *notifier_ = nullptr;
};
