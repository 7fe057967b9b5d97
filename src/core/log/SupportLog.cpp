#include "log/SupportLog.h"

#include <QDateTime>
#include <QDir>
#include <QMutexLocker>
#include <algorithm>
#include <cstring>

Q_LOGGING_CATEGORY(lcLink, "vx4418.link")
Q_LOGGING_CATEGORY(lcDb, "vx4418.db")

namespace {
// Qt's handler is a plain function; it finds the log through this pointer,
// set while a log is installed.
SupportLog *installed = nullptr;

const char *LevelText(QtMsgType type) {
  switch (type) {
  case QtDebugMsg:
    return "debug";
  case QtInfoMsg:
    return "info";
  case QtWarningMsg:
    return "warning";
  case QtCriticalMsg:
    return "critical";
  case QtFatalMsg:
    return "fatal";
  }
  return "";
}

// The longest line the log writes: a few kilobytes, and never more than a
// whole file may hold.
qint64 LineLimit(qint64 sizeLimit) {
  return std::min<qint64>(sizeLimit, 4096);
}
} // namespace

void SupportLog::Handle(QtMsgType type, const QMessageLogContext &context, const QString &message) {
  if (!installed)
    return qt_message_output(type, context, message);
  if (type != QtFatalMsg && Keeps(context.category))
    return installed->write(type, context.category, message);
  if (installed->previous_)
    installed->previous_(type, context, message);
  else
    qt_message_output(type, context, message);
}

SupportLog::SupportLog(const QString &programFolder, qint64 sizeLimit, int keptFiles)
    : folder_(QDir(programFolder).filePath(QStringLiteral("Logs"))),
      sizeLimit_(std::max<qint64>(sizeLimit, 64)), keptFiles_(std::max(keptFiles, 1)) {
  QDir().mkpath(folder_);
  file_.setFileName(filePath());
  (void)file_.open(QIODevice::WriteOnly | QIODevice::Append);
  installed = this;
  // Installing gives back the handler before, null for Qt's own.
  previous_ = qInstallMessageHandler(Handle);
}

SupportLog::~SupportLog() {
  qInstallMessageHandler(previous_);
  installed = nullptr;
}

QString SupportLog::fileName(int generation) const {
  return QDir(folder_).filePath(generation == 0 ? QStringLiteral("VX4418.log")
                                                : QStringLiteral("VX4418.%1.log").arg(generation));
}

bool SupportLog::Keeps(const char *category) {
  return category && (std::strcmp(category, lcLink().categoryName()) == 0 ||
                      std::strcmp(category, lcDb().categoryName()) == 0);
}

void SupportLog::write(QtMsgType type, const char *category, const QString &message) {
  QByteArray line = QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toUtf8() + ' ' +
                    category + ' ' + LevelText(type) + ": " + message.toUtf8();
  line.replace('\n', ' ');
  const qint64 limit = LineLimit(sizeLimit_);
  if (line.size() >= limit)
    line.truncate(limit - 1);
  line += '\n';

  QMutexLocker lock(&mutex_);
  if (file_.isOpen() && file_.size() > 0 && file_.size() + line.size() > sizeLimit_)
    rotate();
  if (!file_.isOpen())
    return;
  file_.write(line);
  file_.flush(); // what was logged before a crash is in the file
}

void SupportLog::rotate() {
  file_.close();
  QFile::remove(fileName(keptFiles_ - 1));
  for (int g = keptFiles_ - 2; g >= 0; --g)
    QFile::rename(fileName(g), fileName(g + 1));
  // When the current file could not be moved away it is started afresh, so
  // the log never grows past its bound.
  (void)file_.open(QIODevice::WriteOnly | QIODevice::Truncate);
}
