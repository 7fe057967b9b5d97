#pragma once
#include <QString>
#include <deque>

class QWidget;

// Open and save dialogs. An empty result means the operator cancelled.
class FileDialogs {
public:
  virtual ~FileDialogs() = default;
  virtual QString openFile(QWidget *parent, const QString &title, const QString &folder,
                           const QString &filter) = 0;
  virtual QString saveFile(QWidget *parent, const QString &title, const QString &folder,
                           const QString &filter, const QString &defaultSuffix) = 0;
};

class QtFileDialogs : public FileDialogs {
public:
  QString openFile(QWidget *parent, const QString &title, const QString &folder,
                   const QString &filter) override;
  QString saveFile(QWidget *parent, const QString &title, const QString &folder,
                   const QString &filter, const QString &defaultSuffix) override;
};

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
