#include "lang/LanguageFile.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStringDecoder>
#include <algorithm>

namespace {

// The lines of data up to maxLines, without their line ends.
QList<QByteArrayView> SplitLines(QByteArrayView data, int maxLines) {
  QList<QByteArrayView> lines;
  const qsizetype n = data.size();
  qsizetype start = 0;
  while (start < n && lines.size() < maxLines) {
    qsizetype end = start;
    while (end < n && data[end] != '\r' && data[end] != '\n')
      ++end;
    lines.append(data.sliced(start, end - start));
    const bool crLf = end + 1 < n && data[end] == '\r' && data[end + 1] == '\n';
    start = end + (crLf ? 2 : 1);
  }
  return lines;
}

bool IsValidUtf8(const QList<QByteArrayView> &lines) {
  for (QByteArrayView line : lines) {
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString decoded = utf8(line);
    if (utf8.hasError())
      return false;
  }
  return true;
}

QString DecodeUtf8(QByteArrayView bytes) {
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
  return utf8(bytes);
}

// Code points of the bytes 0x80 to 0xFF in Windows-1251. 0x98 is unassigned and
// passes through as U+0098, as the platform converters do.
constexpr char16_t Cp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
};

} // namespace

QString Windows1251TableDecode(QByteArrayView bytes) {
  QString text(bytes.size(), Qt::Uninitialized);
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80)
      text[i] = QChar(b);
    else if (b < 0xC0)
      text[i] = QChar(Cp1251High[b - 0x80]);
    else
      text[i] = QChar(char16_t(0x0410 + (b - 0xC0))); // А..я in order
  }
  return text;
}

QStringList DecodeLanguageLines(QByteArrayView data, int maxLines) {
  const bool bom = data.startsWith("\xEF\xBB\xBF");
  if (bom)
    data = data.sliced(3);
  const QList<QByteArrayView> raw = SplitLines(data, maxLines);
  const bool utf8 = bom || IsValidUtf8(raw);
  QStringList lines;
  lines.reserve(raw.size());
  if (utf8) {
    for (QByteArrayView line : raw)
      lines.append(DecodeUtf8(line));
    return lines;
  }
  // One decoder for the whole file: opening a converter costs far more than
  // decoding a line.
  QStringDecoder cp1251("windows-1251", QStringConverter::Flag::Stateless);
  for (QByteArrayView line : raw)
    lines.append(cp1251.isValid() ? QString(cp1251(line)) : Windows1251TableDecode(line));
  return lines;
}

std::optional<QStringList> ReadLanguageFile(const QString &path, int maxLines) {
  if (path.isEmpty() || !QFileInfo(path).isFile())
    return std::nullopt;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return std::nullopt;
  // A read allocates what it asks for: ask for what the file holds.
  QByteArray data = file.read(std::clamp<qint64>(file.size(), 1, LanguageFileMaxBytes));
  if (file.error() != QFileDevice::NoError)
    return std::nullopt;
  if (data.size() == LanguageFileMaxBytes && !file.atEnd()) {
    // Drop the line the limit cut through.
    const qsizetype lastEnd = std::max(data.lastIndexOf('\n'), data.lastIndexOf('\r'));
    data.truncate(lastEnd + 1);
  }
  return DecodeLanguageLines(data, maxLines);
}
