#include "rtf/CodePage.h"

#include <QList>
#include <array>

namespace {

// 0x80 to 0x9F of code page 1252; 0xA0 to 0xFF equal Latin-1.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

// 0x80 to 0xBF of code page 1251; 0xC0 to 0xFF are U+0410 to U+044F.
constexpr std::array<char16_t, 64> Cp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

char16_t BuiltInChar(int codePage, unsigned char byte) {
  if (byte < 0x80)
    return byte;
  if (codePage == 1251)
    return byte >= 0xC0 ? char16_t(0x0410 + (byte - 0xC0)) : Cp1251High[byte - 0x80];
  return byte >= 0xA0 ? char16_t(byte) : Cp1252High[byte - 0x80];
}

bool IsBuiltIn(int codePage) {
  return codePage == 1251 || codePage == 1252;
}

std::optional<QStringDecoder> OpenDecoder(int codePage) {
  QList<QByteArray> names;
  if (codePage == 65001)
    names = {"UTF-8"};
  else if (codePage == 10000)
    names = {"macintosh"};
  else
    names = {"windows-" + QByteArray::number(codePage), "cp" + QByteArray::number(codePage),
             "ibm-" + QByteArray::number(codePage)};
  for (const QByteArray &name : names) {
    QStringDecoder decoder(name.constData());
    if (decoder.isValid())
      return decoder;
  }
  return std::nullopt;
}

} // namespace

int EncodeCodePageChar(int codePage, char16_t ch) {
  if (!IsBuiltIn(codePage))
    return -1;
  if (ch < 0x80)
    return ch;
  if (ch == 0xFFFD)
    return -1;
  if (codePage == 1251 && ch >= 0x0410 && ch <= 0x044F)
    return 0xC0 + (ch - 0x0410);
  for (int byte = 0x80; byte <= 0xFF; ++byte)
    if (BuiltInChar(codePage, static_cast<unsigned char>(byte)) == ch)
      return byte;
  return -1;
}

int CodePageOfCharset(int charset) {
  switch (charset) {
  case 77:
    return 10000;
  case 128:
    return 932;
  case 129:
    return 949;
  case 134:
    return 936;
  case 136:
    return 950;
  case 161:
    return 1253;
  case 162:
    return 1254;
  case 163:
    return 1258;
  case 177:
    return 1255;
  case 178:
    return 1256;
  case 186:
    return 1257;
  case 204:
    return 1251;
  case 222:
    return 874;
  case 238:
    return 1250;
  case 255:
    return 437;
  default:
    return 0;
  }
}

QString CodePageDecoder::decode(int codePage, QByteArrayView bytes) {
  if (!IsBuiltIn(codePage)) {
    if (codePage != cachedPage_) {
      cachedPage_ = codePage;
      cached_ = OpenDecoder(codePage);
    }
    if (cached_) {
      cached_->resetState();
      return cached_->decode(bytes);
    }
    codePage = 1252;
  }
  QString text(bytes.size(), Qt::Uninitialized);
  QChar *out = text.data();
  for (char byte : bytes)
    *out++ = QChar(BuiltInChar(codePage, static_cast<unsigned char>(byte)));
  return text;
}
