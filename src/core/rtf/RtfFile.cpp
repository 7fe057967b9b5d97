#include "rtf/RtfFile.h"
#include "rtf/RtfReader.h"
#include "rtf/RtfWriter.h"

#include "export/SaveWhole.h"

#include <QFile>
#include <new>

bool SaveRtfFile(const QString &path, const RtfDocument &document, QString *error) {
  return SaveWhole(path, WriteRtf(document), error);
}

RtfDocument LoadRtfFile(const QString &path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  try {
    return ReadRtf(file.read(RtfMaxFileSize));
  } catch (const std::bad_alloc &) {
    return {};
  }
}
