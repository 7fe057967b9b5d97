// The import: which kind a file announces, and every table of an SQLite file
// read row by row. Access files are read by a separate child process for each
// read, which keeps a damaged file from taking the program down; the fuzzer
// does not start those children, it only checks the detection.
#include "FuzzTargets.h"
#include "import/ExternalDatabase.h"

int FuzzImport(const std::uint8_t *data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
  if (DetectExternalFileKind(bytes) != ExternalFileKind::Sqlite)
    return 0;
  ExternalReadLimits limits;
  limits.maxTableBytes = 4 << 20; // keeps each run small
  limits.maxValueBytes = 1 << 20;
  ReadExternalDatabaseBytes(bytes, limits);
  return 0;
}
