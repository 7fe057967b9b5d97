#include "rtf/RtfWriter.h"
#include "rtf/CodePage.h"

namespace {

// Appends one character as rich text.
void AppendChar(QByteArray &out, char16_t ch, int codePage) {
  switch (ch) {
  case '\\':
  case '{':
  case '}':
    out += '\\';
    out += char(ch);
    return;
  case '\t':
    out += "\\tab ";
    return;
  case '\n':
  case '\r':
  case QChar::LineSeparator:
  case QChar::ParagraphSeparator:
    out += "\\line ";
    return;
  default:
    break;
  }
  if (ch < 0x20)
    return;
  if (ch < 0x7F) {
    out += char(ch);
    return;
  }
  out += "\\u" + QByteArray::number(static_cast<qint16>(ch));
  // The fallback is always written as \'hh: some readers skip a whole word
  // after \uN when the fallback is a plain character.
  int byte = EncodeCodePageChar(codePage, ch);
  if (byte < 0)
    byte = '?';
  static const char hex[] = "0123456789abcdef";
  out += "\\'";
  out += hex[byte >> 4];
  out += hex[byte & 0xF];
}

void AppendText(QByteArray &out, const QString &text, int codePage) {
  for (QChar ch : text)
    AppendChar(out, ch.unicode(), codePage);
}

// Switches the character format from `current` to `wanted`.
void AppendFormat(QByteArray &out, RtfCharFormat &current, const RtfCharFormat &wanted) {
  if (current == wanted)
    return;
  if (wanted.fontSize == 0 && current.fontSize != 0) {
    out += "\\plain\\f0";
    current = RtfCharFormat{};
  }
  if (current.bold != wanted.bold)
    out += wanted.bold ? "\\b" : "\\b0";
  if (current.italic != wanted.italic)
    out += wanted.italic ? "\\i" : "\\i0";
  if (current.underline != wanted.underline)
    out += wanted.underline ? "\\ul" : "\\ulnone";
  if (current.fontSize != wanted.fontSize)
    out += "\\fs" + QByteArray::number(wanted.fontSize);
  out += ' ';
  current = wanted;
}

} // namespace

int RtfCodePageFor(const RtfDocument &document) {
  int only1251 = 0;
  int only1252 = 0;
  for (const RtfParagraph &paragraph : document.paragraphs)
    for (const RtfRun &run : paragraph.runs)
      for (QChar ch : run.text) {
        if (ch.unicode() < 0x80)
          continue;
        const bool in1251 = EncodeCodePageChar(1251, ch.unicode()) >= 0;
        const bool in1252 = EncodeCodePageChar(1252, ch.unicode()) >= 0;
        only1251 += in1251 && !in1252;
        only1252 += in1252 && !in1251;
      }
  return only1251 > only1252 ? 1251 : 1252;
}

QByteArray WriteRtf(const RtfDocument &document) {
  const int codePage = RtfCodePageFor(document);
  QByteArray out;
  out += "{\\rtf1\\ansi\\ansicpg" + QByteArray::number(codePage) + "\\deff0\\uc1";
  out += "{\\fonttbl{\\f0\\fnil\\fcharset" + QByteArray(codePage == 1251 ? "204" : "0") + ' ';
  QByteArray fontName;
  for (QChar ch : document.fontName)
    if (ch.unicode() >= 0x20 && ch.unicode() < 0x7F && ch != u';' && ch != u'\\' && ch != u'{' &&
        ch != u'}')
      fontName += char(ch.unicode());
  out += (fontName.trimmed().isEmpty() ? QByteArray("Arial") : fontName) + ";}}\n";
  for (const RtfParagraph &paragraph : document.paragraphs) {
    out += "\\pard\\plain\\f0 ";
    RtfCharFormat current;
    for (const RtfRun &run : paragraph.runs) {
      AppendFormat(out, current, run.format);
      AppendText(out, run.text, codePage);
    }
    out += "\\par\n";
  }
  out += "}\n";
  return out;
}
