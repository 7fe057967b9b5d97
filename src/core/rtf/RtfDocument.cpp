#include "rtf/RtfDocument.h"

void RtfParagraph::append(const QString &text, const RtfCharFormat &format) {
  if (text.isEmpty())
    return;
  if (!runs.isEmpty() && runs.last().format == format)
    runs.last().text += text;
  else
    runs.append(RtfRun{text, format});
}

QString RtfParagraph::text() const {
  QString result;
  for (const RtfRun &run : runs)
    result += run.text;
  return result;
}

void RtfDocument::addParagraph(const QString &text, const RtfCharFormat &format) {
  RtfParagraph paragraph;
  paragraph.append(text, format);
  paragraphs.append(paragraph);
}

QString RtfDocument::plainText() const {
  QStringList lines;
  lines.reserve(paragraphs.size());
  for (const RtfParagraph &paragraph : paragraphs)
    lines.append(paragraph.text().replace(QChar::LineSeparator, QLatin1Char('\n')));
  return lines.join(QLatin1Char('\n'));
}
