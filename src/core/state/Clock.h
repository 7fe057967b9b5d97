#pragma once
#include <QDateTime>

// "Now" for registration events, activation times and date pickers. The real
// clock is the computer's local time; tests install a settable one.
class Clock {
public:
  virtual ~Clock() = default;
  virtual QDateTime now() const { return QDateTime::currentDateTime(); }
};

class SettableClock : public Clock {
public:
  explicit SettableClock(QDateTime t = QDateTime::currentDateTime()) : t_(t) {}
  QDateTime now() const override { return t_; }
  void set(const QDateTime &t) { t_ = t; }

private:
  QDateTime t_;
};
