#pragma once
#include <QString>
#include <deque>

#include "QueuedFileDialogs.h"
#include "common/FileDialogs.h"

// Gives the file names a test queued, in order; cancels when the queue is empty.
class QueuedFileDialogs : public FileDialogs {
public:
  QString openFile(QWidget *, const QString &, const QString &, const QString &) override {
    return next();
  }
  QString saveFile(QWidget *, const QString &, const QString &, const QString &,
                   const QString &) override {
    return next();
  }
  std::deque<QString> names;

private:
  QString next() {
    if (names.empty())
      return {};
    QString n = names.front();
    names.pop_front();
    return n;
  }
};
