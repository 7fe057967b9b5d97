#include "rtf/RtfFile.h"
#include "rtf/RtfReader.h"
#include "rtf/RtfWriter.h"

#include <QFile>
#include <QSaveFile>
#include <new>

bool SaveRtfFile(const QString &path, const RtfDocument &document) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    return false;
  const QByteArray data = WriteRtf(document);
  if (file.write(data) != data.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
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
