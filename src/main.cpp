#include "log/SupportLog.h"
#include "main/Program.h"

int main(int argc, char *argv[]) {
  VxApplication app(argc, argv);
  SupportLog log(QCoreApplication::applicationDirPath());
  return RunProgram(app);
}
