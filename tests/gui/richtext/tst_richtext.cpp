#include "history/RichText.h"
#include "rtf/RtfFile.h"
#include "rtf/RtfReader.h"
#include "rtf/RtfWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

const QStringList HistoryLines = {QStringLiteral("Device № 1234567 (Иванов Пётр Сергеевич)"),
                                  QStringLiteral("Device time 09.12.2026"),
                                  QStringLiteral("09.12.2026 10:20:00 Gamma alarm 0.250 Sv/h"),
                                  QStringLiteral("09.12.2026 11:00:00 Alarma de tiempo señal")};

// The history as the read-history window builds it: plain lines, then bold
// added to the selection of the first two.
void FillLikeTheWindow(QTextDocument *doc) {
  QTextCursor cursor(doc);
  cursor.insertText(HistoryLines.join(QLatin1Char('\n')));
  cursor.movePosition(QTextCursor::Start);
  cursor.movePosition(QTextCursor::Down, QTextCursor::KeepAnchor);
  cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  QTextCharFormat bold;
  bold.setFontWeight(QFont::Bold);
  cursor.mergeCharFormat(bold);
}

bool BlockIsBold(const QTextBlock &block) {
  for (auto it = block.begin(); !it.atEnd(); ++it)
    if (it.fragment().charFormat().fontWeight() < QFont::Bold)
      return false;
  return true;
}

} // namespace

class TestRichText : public QObject {
  Q_OBJECT

private slots:
  void toTextDocumentKeepsBoldAndLines();
  void fromTextDocumentKeepsBoldAndLines();
  void throughAFile();
  void fontSizes();
  void wordProcessorFileShowsItsText();
};

void TestRichText::toTextDocumentKeepsBoldAndLines() {
  RtfDocument doc;
  doc.addParagraph(HistoryLines[0], {true, false, false, 0});
  doc.addParagraph(HistoryLines[1], {true, false, false, 0});
  RtfParagraph mixed;
  mixed.append(QStringLiteral("09.12.2026 10:20:00 "));
  mixed.append(QStringLiteral("Gamma alarm"), {false, true, true, 0});
  mixed.append(QStringLiteral(" 0.250 Sv/h"));
  doc.paragraphs.append(mixed);
  doc.addParagraph(HistoryLines[3]);

  QTextDocument text;
  text.setPlainText(QStringLiteral("old content\nto be replaced"));
  ToTextDocument(doc, &text);
  QCOMPARE(text.toPlainText(), HistoryLines.join(QLatin1Char('\n')));
  QCOMPARE(text.blockCount(), 4);
  QVERIFY(BlockIsBold(text.findBlockByNumber(0)));
  QVERIFY(BlockIsBold(text.findBlockByNumber(1)));
  QVERIFY(!BlockIsBold(text.findBlockByNumber(2)));
  QVERIFY(!BlockIsBold(text.findBlockByNumber(3)));

  QTextCursor cursor(text.findBlockByNumber(2));
  cursor.setPosition(cursor.position() + 21);
  QVERIFY(cursor.charFormat().fontItalic() && cursor.charFormat().fontUnderline());

  ToTextDocument(RtfDocument(), &text);
  QVERIFY(text.isEmpty());
}

void TestRichText::fromTextDocumentKeepsBoldAndLines() {
  QTextDocument text;
  FillLikeTheWindow(&text);
  const RtfDocument doc = FromTextDocument(text);
  QCOMPARE(doc.plainText(), HistoryLines.join(QLatin1Char('\n')));
  QCOMPARE(doc.paragraphs.size(), 4);
  for (int i = 0; i < 4; ++i) {
    QCOMPARE(doc.paragraphs[i].runs.size(), 1);
    QCOMPARE(doc.paragraphs[i].runs[0].format.bold, i < 2);
  }
  QVERIFY(FromTextDocument(QTextDocument()).isEmpty());
}

void TestRichText::throughAFile() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("history.rtf"));
  QTextDocument original;
  FillLikeTheWindow(&original);
  QVERIFY(SaveRtfFile(path, FromTextDocument(original)));

  QTextDocument loaded;
  ToTextDocument(LoadRtfFile(path), &loaded);
  QCOMPARE(loaded.toPlainText(), original.toPlainText());
  for (int i = 0; i < 4; ++i)
    QCOMPARE(BlockIsBold(loaded.findBlockByNumber(i)), i < 2);
}

void TestRichText::fontSizes() {
  QTextDocument text;
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(13);
  text.setDefaultFont(font);
  QTextCursor cursor(&text);
  cursor.insertText(QStringLiteral("window size "));
  QTextCharFormat big;
  big.setFontPointSize(14);
  cursor.insertText(QStringLiteral("fourteen"), big);

  const RtfDocument doc = FromTextDocument(text);
  QCOMPARE(doc.fontName, QStringLiteral("MS Sans Serif"));
  QCOMPARE(doc.paragraphs[0].runs.size(), 2);
  QCOMPARE(doc.paragraphs[0].runs[0].format.fontSize, 20); // 13 px = 9.75 pt
  QCOMPARE(doc.paragraphs[0].runs[1].format.fontSize, 28);

  QTextDocument shown;
  ToTextDocument(ReadRtf(WriteRtf(doc)), &shown);
  QTextCursor at(&shown);
  at.setPosition(14);
  QCOMPARE(at.charFormat().fontPointSize(), 14.0);
}

void TestRichText::wordProcessorFileShowsItsText() {
  QTextDocument text;
  ToTextDocument(
      LoadRtfFile(QStringLiteral(VX_SOURCE_DIR "/tests/core/rtf/data/wordprocessor.rtf")), &text);
  QCOMPARE(text.blockCount(), 6);
  QCOMPARE(text.findBlockByNumber(0).text(), HistoryLines[0]);
  QVERIFY(BlockIsBold(text.findBlockByNumber(0)));
  QVERIFY(!BlockIsBold(text.findBlockByNumber(2)));
  QVERIFY(text.toPlainText().contains(QStringLiteral("canción, más, ¿Qué?")));
}

QTEST_MAIN(TestRichText)
#include "tst_richtext.moc"
