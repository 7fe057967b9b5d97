#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <map>
#include <string>

#include "FuzzTargets.h"

const char *FuzzScratchFile(const char *suffix) {
  // Never destroyed: the exit handler that removes the files still needs it.
  static auto *paths = new std::map<std::string, std::string>;
  std::string &path = (*paths)[suffix];
  if (path.empty()) {
    path = QDir::temp()
               .filePath(QStringLiteral("vx4418-fuzz-%1-%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(QString::fromLatin1(suffix)))
               .toLocal8Bit()
               .toStdString();
  }
  return path.c_str();
}
