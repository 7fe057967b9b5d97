#include "main/Program.h"

int main(int argc, char *argv[]) {
  VxApplication app(argc, argv);
  return RunProgram(app);
}
