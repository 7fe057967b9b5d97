#pragma once
#include <QFile>
#include <QLoggingCategory>
#include <QMutex>
#include <QString>

// The categories of the support log. Anything that talks to an instrument
// writes to lcLink, anything that runs a statement to lcDb, with the ordinary
// Qt calls:
//   qCInfo(lcLink) << "read history" << deviceId << "bytes" << n;
//   qCWarning(lcDb) << "statement failed:" << error;
// Nothing personal goes into them beyond instrument numbers and person keys:
// no names, no dose values.
Q_DECLARE_LOGGING_CATEGORY(lcLink)
Q_DECLARE_LOGGING_CATEGORY(lcDb)

// The log a desk sends when something went wrong: every message of lcLink and
// lcDb, one line each with its time, category and level, in Logs/VX4418.log of
// the program's folder. When a line would take the file past the size limit,
// the file becomes VX4418.1.log (older ones move on to .2, .3, ...) and a new
// one is started, so at most `keptFiles` files of at most `sizeLimit` bytes
// exist. A message longer than a line may be is cut.
//
// While it lives, the log is Qt's message handler; messages of other
// categories (and fatal ones) go on to the handler installed before it, which
// is installed again when the log goes. One log at a time. A folder that cannot
// be written to leaves the log silent.
class SupportLog {
public:
  static constexpr qint64 DefaultSizeLimit = qint64(1) << 20;
  static constexpr int DefaultKeptFiles = 3;

  explicit SupportLog(const QString &programFolder, qint64 sizeLimit = DefaultSizeLimit,
                      int keptFiles = DefaultKeptFiles);
  ~SupportLog();
  SupportLog(const SupportLog &) = delete;
  SupportLog &operator=(const SupportLog &) = delete;

  // Logs/VX4418.log in the program's folder.
  QString filePath() const { return fileName(0); }
  // The file a rotation number stands for: 0 the current file, 1 the newest old one.
  QString fileName(int generation) const;

  // Whether a message of this category belongs in the log.
  static bool Keeps(const char *category);
  // Appends one message as a line, rotating first when needed.
  void write(QtMsgType type, const char *category, const QString &message);

private:
  static void Handle(QtMsgType type, const QMessageLogContext &context, const QString &message);
  void rotate();

  QString folder_;
  qint64 sizeLimit_;
  int keptFiles_;
  QFile file_;
  QMutex mutex_;
  QtMessageHandler previous_ = nullptr;
};
