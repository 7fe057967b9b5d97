#include <QProcessEnvironment>

#include "log/SupportLog.h"
#include "main/Program.h"
#include "settings/ProgramLocations.h"

int main(int argc, char *argv[]) {
  VxApplication app(argc, argv);
  const ProgramLocations where(LocationInputs::FromEnvironment(
      QCoreApplication::applicationDirPath(), QProcessEnvironment::systemEnvironment()));
  // A database that could not be made is told at start, as any unusable one.
  QString error;
  if (!where.prepare(&error))
    qWarning("%s", qPrintable(error));
  SupportLog log(where.dataFolder());
  return RunProgram(app, where);
}
