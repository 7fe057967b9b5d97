// Language files: the line decoder and the table loading from a file.
#include <QFile>

#include "FuzzTargets.h"
#include "lang/LanguageFile.h"
#include "lang/TextTable.h"

int FuzzLanguage(const std::uint8_t *data, std::size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
  DecodeLanguageLines(bytes, TextTable::FileLineCount);
  DecodeLanguageLines(bytes, 3);
  Windows1251TableDecode(bytes);

  // Reading a file allocates the largest file size each time, which is slow
  // under the sanitizers; the bytes decode as above, so one input in eight
  // goes through a file as well.
  if (size % 8 != 0)
    return 0;
  const QString path = QString::fromLocal8Bit(FuzzScratchFile("lang.txt"));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    return 0;
  file.write(bytes.data(), bytes.size());
  file.close();
  TextTable table;
  if (table.loadLanguageFile(path)) {
    for (int i = 0; i < TextTable::Count; ++i)
      (void)table.at(i);
  }
  return 0;
}
