#include "history/RichText.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <cmath>

namespace {

// Font size in half points; a pixel size counts 96 pixels to the inch.
int HalfPoints(const QFont &font) {
  if (font.pointSizeF() > 0)
    return int(std::lround(font.pointSizeF() * 2));
  if (font.pixelSize() > 0)
    return int(std::lround(font.pixelSize() * 1.5));
  return 0;
}

QTextCharFormat CharFormat(const RtfCharFormat &format) {
  QTextCharFormat result;
  result.setFontWeight(format.bold ? QFont::Bold : QFont::Normal);
  result.setFontItalic(format.italic);
  result.setFontUnderline(format.underline);
  if (format.fontSize > 0)
    result.setFontPointSize(format.fontSize / 2.0);
  return result;
}

RtfCharFormat RunFormat(const QTextCharFormat &format, int defaultSize) {
  RtfCharFormat result;
  result.bold = format.fontWeight() >= QFont::DemiBold;
  result.italic = format.fontItalic();
  result.underline = format.fontUnderline();
  result.fontSize = format.hasProperty(QTextFormat::FontPointSize) && format.fontPointSize() > 0
                        ? int(std::lround(format.fontPointSize() * 2))
                        : defaultSize;
  return result;
}

} // namespace

void ToTextDocument(const RtfDocument &document, QTextDocument *target) {
  target->clear();
  QTextCursor cursor(target);
  cursor.beginEditBlock();
  bool first = true;
  for (const RtfParagraph &paragraph : document.paragraphs) {
    if (!first)
      cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    first = false;
    for (const RtfRun &run : paragraph.runs)
      cursor.insertText(run.text, CharFormat(run.format));
  }
  cursor.endEditBlock();
}

RtfDocument FromTextDocument(const QTextDocument &source) {
  RtfDocument document;
  const QFont defaultFont = source.defaultFont();
  if (!defaultFont.family().isEmpty())
    document.fontName = defaultFont.family();
  const int defaultSize = HalfPoints(defaultFont);
  if (source.isEmpty())
    return document;
  for (QTextBlock block = source.begin(); block.isValid(); block = block.next()) {
    RtfParagraph paragraph;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.isValid())
        continue;
      QString text = fragment.text();
      text.remove(QChar::ObjectReplacementCharacter);
      paragraph.append(text, RunFormat(fragment.charFormat(), defaultSize));
    }
    document.paragraphs.append(paragraph);
  }
  return document;
}
