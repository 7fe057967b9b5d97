// The libFuzzer entry of one target, picked by VX_FUZZ_TARGET at compile time.
#include <QCoreApplication>
#include <QFile>
#include <cstdlib>

#include "FuzzTargets.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
  // The SQL driver of the import is a Qt plugin; Qt wants an application.
  static QCoreApplication app(*argc, *argv);
  std::atexit([] {
    for (const char *suffix : {"lang.txt", "settings.ini"})
      QFile::remove(QString::fromLocal8Bit(FuzzScratchFile(suffix)));
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  return VX_FUZZ_TARGET(data, size);
}
