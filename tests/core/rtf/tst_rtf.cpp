#include "rtf/CodePage.h"
#include "rtf/RtfFile.h"
#include "rtf/RtfReader.h"
#include "rtf/RtfWriter.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const RtfCharFormat Bold{true, false, false, 0};

RtfDocument HistoryDocument() {
  RtfDocument doc;
  doc.addParagraph(QStringLiteral("Device № 1234567 (Иванов Пётр Сергеевич)"), Bold);
  doc.addParagraph(QStringLiteral("Device time 09.12.2026 10:15:00"), Bold);
  doc.addParagraph(QStringLiteral("09.12.2026 10:20:00 Gamma alarm 0.250 Sv/h"));
  doc.addParagraph(QStringLiteral("09.12.2026 11:00:00 Device оn "));
  doc.addParagraph(QStringLiteral("09.12.2026 12:00:00 Прибор выключен"));
  return doc;
}

RtfDocument SpanishDocument() {
  RtfDocument doc;
  doc.addParagraph(QStringLiteral("Instrumento № 7654321 (Núñez Peña José)"), Bold);
  doc.addParagraph(QStringLiteral("09.12.2026 12:30:00 Alarma de tiempo señal canción ¿Qué? ¡Sí!"));
  doc.addParagraph(QStringLiteral("Pingüino Ñandú àèìòù ÀÉÍÓÚ"));
  return doc;
}

RtfDocument WordProcessorFile() {
  QFile file(QStringLiteral(VX_SOURCE_DIR "/tests/core/rtf/data/wordprocessor.rtf"));
  if (!file.open(QIODevice::ReadOnly))
    qFatal("test data missing");
  return ReadRtf(file.readAll());
}

QByteArray ReadAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Completed paragraphs of a damaged input must equal those of the whole one.
void CompareCompleteParagraphs(const RtfDocument &part, const RtfDocument &whole) {
  QVERIFY(part.paragraphs.size() <= whole.paragraphs.size());
  for (qsizetype i = 0; i + 1 < part.paragraphs.size(); ++i)
    QCOMPARE(part.paragraphs[i], whole.paragraphs[i]);
}

QString RunUnrtf(const QString &mode, const QString &path, QByteArray *raw = nullptr) {
  QProcess unrtf;
  unrtf.start(QStringLiteral("unrtf"), {mode, path});
  if (!unrtf.waitForFinished(30000) || unrtf.exitCode() != 0)
    return {};
  const QByteArray out = unrtf.readAllStandardOutput();
  if (raw)
    *raw = out;
  return QString::fromLatin1(out);
}

} // namespace

class TestRtf : public QObject {
  Q_OBJECT

private slots:
  void roundTrip_data();
  void roundTrip();
  void codePageTables();
  void codePageAndFallback_data();
  void codePageAndFallback();
  void otherProgramsReadSavedFile();
  void saveReplacesFileWhole();
  void reader_data();
  void reader();
  void readerKeepsFormatPerGroup();
  void wordProcessorFile();
  void damagedInput_data();
  void damagedInput();
  void truncatedAtEveryByte();
  void randomBytes();
  void deepNesting();
  void hugeInput();
};

void TestRtf::roundTrip_data() {
  QTest::addColumn<RtfDocument>("doc");
  QTest::newRow("history") << HistoryDocument();
  QTest::newRow("spanish") << SpanishDocument();

  RtfDocument escapes;
  escapes.addParagraph(QStringLiteral("C:\\History\\{1}\\ }{ \\par \\'e9 \\u1046?"));
  escapes.addParagraph(QStringLiteral("  leading blanks and a trailing backslash\\"));
  escapes.addParagraph(QStringLiteral("Ж1 é9 ñab Ж-2 \\b0 after"));
  QTest::newRow("escapes") << escapes;

  RtfDocument formats;
  RtfParagraph mixed;
  mixed.append(QStringLiteral("plain "));
  mixed.append(QStringLiteral("bold "), Bold);
  mixed.append(QStringLiteral("italic "), {false, true, false, 0});
  mixed.append(QStringLiteral("underline "), {false, false, true, 0});
  mixed.append(QStringLiteral("big bold "), {true, false, false, 28});
  mixed.append(QStringLiteral("back to default "), {false, true, true, 0});
  mixed.append(QStringLiteral("small"), {false, false, false, 16});
  formats.paragraphs.append(mixed);
  formats.addParagraph(QStringLiteral("tab\there") + QChar(QChar::LineSeparator) +
                       QStringLiteral("second line"));
  formats.addParagraph(QString());
  formats.addParagraph(QStringLiteral("after an empty paragraph"));
  formats.addParagraph(QString());
  formats.fontName = QStringLiteral("MS Sans Serif");
  QTest::newRow("formats, tabs, breaks, empty paragraphs") << formats;

  RtfDocument outside;
  outside.addParagraph(QStringLiteral("€ α 中 ") + QString::fromUtf8("\xF0\x9F\x98\x80") +
                       QStringLiteral(" Ω ½"));
  QTest::newRow("outside both code pages") << outside;

  QTest::newRow("empty") << RtfDocument();
}

void TestRtf::roundTrip() {
  QFETCH(RtfDocument, doc);
  const QByteArray rtf = WriteRtf(doc);
  for (char byte : rtf)
    QVERIFY2(uchar(byte) < 0x80, rtf.constData());
  QCOMPARE(ReadRtf(rtf), doc);
}

// The built-in code pages agree with the platform's converters and encode
// every character they decode back to its byte.
void TestRtf::codePageTables() {
  QByteArray bytes;
  for (int byte = 0; byte < 256; ++byte)
    bytes += char(byte);
  for (int codePage : {1251, 1252}) {
    const QString text = CodePageDecoder().decode(codePage, bytes);
    QCOMPARE(text.size(), 256);
    QStringDecoder platform(QByteArray("windows-" + QByteArray::number(codePage)).constData());
    const QString expected = platform.isValid() ? platform.decode(bytes) : QString();
    for (int byte = 0; byte < 256; ++byte) {
      if (text[byte] == QChar::ReplacementCharacter)
        continue;
      if (!expected.isEmpty())
        QCOMPARE(text[byte], expected[byte]);
      QCOMPARE(EncodeCodePageChar(codePage, text[byte].unicode()), byte);
    }
  }
  QCOMPARE(EncodeCodePageChar(1252, 0x0416), -1);
  QCOMPARE(EncodeCodePageChar(1251, 0x00E9), -1);
  QCOMPARE(EncodeCodePageChar(1253, u'a'), -1);
}

void TestRtf::codePageAndFallback_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("codePage");
  QTest::addColumn<QString>("withoutUnicode");
  QTest::newRow("english") << "Device time" << 1252 << "Device time";
  QTest::newRow("number sign") << "Device № 5" << 1251 << "Device № 5";
  QTest::newRow("russian") << "Прибор ЁЎ" << 1251 << "Прибор ЁЎ";
  QTest::newRow("spanish") << "señal ¿Qué?" << 1252 << "señal ¿Qué?";
  QTest::newRow("mostly russian") << "Прибор señal" << 1251 << "Прибор se?al";
  QTest::newRow("mostly spanish") << "Ж señal canción" << 1252 << "? señal canción";
  QTest::newRow("neither") << "α 中" << 1252 << "? ?";
}

// A reader that does not know \uN sees the fallback bytes in the file's code page.
void TestRtf::codePageAndFallback() {
  QFETCH(QString, text);
  QFETCH(int, codePage);
  QFETCH(QString, withoutUnicode);
  RtfDocument doc;
  doc.addParagraph(text);
  QCOMPARE(RtfCodePageFor(doc), codePage);
  QByteArray rtf = WriteRtf(doc);
  QVERIFY(rtf.contains("\\ansicpg" + QByteArray::number(codePage)));
  QVERIFY(rtf.contains(codePage == 1251 ? "\\fcharset204" : "\\fcharset0"));
  QString stripped = QString::fromLatin1(rtf);
  stripped.remove(QRegularExpression(QStringLiteral("\\\\u-?[0-9]+")));
  QCOMPARE(ReadRtf(stripped.toLatin1()).plainText(), withoutUnicode);
}

void TestRtf::otherProgramsReadSavedFile() {
  if (QStandardPaths::findExecutable(QStringLiteral("unrtf")).isEmpty())
    QSKIP("unrtf is not installed");
  QTemporaryDir dir;
  QVERIFY(dir.isValid());

  // Western text: unrtf's text output carries the code page's bytes.
  const QString spanishPath = dir.filePath(QStringLiteral("spanish.rtf"));
  QVERIFY(SaveRtfFile(spanishPath, SpanishDocument()));
  QByteArray raw;
  const QString text = RunUnrtf(QStringLiteral("--text"), spanishPath, &raw);
  QVERIFY2(!text.isEmpty(), "unrtf failed");
  for (const RtfParagraph &paragraph : SpanishDocument().paragraphs) {
    QString line = paragraph.text();
    line.replace(QStringLiteral("№"), QStringLiteral("?"));
    QVERIFY2(text.contains(line), qPrintable(line + QStringLiteral("\nin\n") + text));
  }

  // Cyrillic: unrtf's text output has no Cyrillic, its HTML output takes \uN.
  const QString historyPath = dir.filePath(QStringLiteral("history.rtf"));
  QVERIFY(SaveRtfFile(historyPath, HistoryDocument()));
  QString html = RunUnrtf(QStringLiteral("--html"), historyPath);
  QVERIFY2(!html.isEmpty(), "unrtf failed");
  html.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
  html.remove(QLatin1Char('\n'));
  for (const RtfParagraph &paragraph : HistoryDocument().paragraphs) {
    QString line;
    for (QChar ch : paragraph.text())
      line += ch.unicode() < 0x80 ? QString(ch) : QStringLiteral("&#%1;").arg(ch.unicode());
    QVERIFY2(html.contains(line), qPrintable(line + QStringLiteral("\nin\n") + html));
  }
  const QString ascii = RunUnrtf(QStringLiteral("--text"), historyPath);
  QVERIFY(ascii.contains(QStringLiteral("09.12.2026 10:20:00 Gamma alarm 0.250 Sv/h")));
}

void TestRtf::saveReplacesFileWhole() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("h.rtf"));
  QVERIFY(SaveRtfFile(path, HistoryDocument()));
  QVERIFY(SaveRtfFile(path, SpanishDocument()));
  QCOMPARE(LoadRtfFile(path), SpanishDocument());
  QCOMPARE(ReadAll(path), WriteRtf(SpanishDocument()));
  QVERIFY(!SaveRtfFile(dir.filePath(QStringLiteral("missing/h.rtf")), SpanishDocument()));
  QVERIFY(LoadRtfFile(dir.filePath(QStringLiteral("missing.rtf"))).isEmpty());
  QVERIFY(LoadRtfFile(dir.path()).isEmpty());
}

void TestRtf::reader_data() {
  QTest::addColumn<QByteArray>("rtf");
  QTest::addColumn<QString>("text");
  QTest::newRow("minimal") << QByteArray("{\\rtf1 Hello}") << "Hello";
  QTest::newRow("leading blanks and BOM") << QByteArray("\xEF\xBB\xBF \r\n{\\rtf1 Hi}") << "Hi";
  QTest::newRow("paragraphs") << QByteArray("{\\rtf1 a\\par b\\par\r\n c}") << "a\nb\n c";
  QTest::newRow("par by escaped newline") << QByteArray("{\\rtf1 a\\\nb}") << "a\nb";
  QTest::newRow("line and tab") << QByteArray("{\\rtf1 a\\line b\\tab c}") << "a\nb\tc";
  QTest::newRow("newlines are not text") << QByteArray("{\\rtf1 a\r\nb\nc}") << "abc";
  QTest::newRow("delimiter space eaten once") << QByteArray("{\\rtf1 \\b  x\\b0}") << " x";
  QTest::newRow("symbols") << QByteArray("{\\rtf1 \\{\\}\\\\\\~\\-\\_}")
                           << QStringLiteral("{}\\\u00A0\u2011");
  QTest::newRow("1252 bytes") << QByteArray("{\\rtf1\\ansi se\\'f1al \\'80}") << "señal €";
  QTest::newRow("raw 8-bit bytes") << QByteArray("{\\rtf1\\ansi\\ansicpg1251 \xcf\xf0}") << "Пр";
  QTest::newRow("1251 by ansicpg")
      << QByteArray("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8 \\'b9}") << "При №";
  QTest::newRow("1251 by font charset")
      << QByteArray("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 "
                    "Arial Cyr;}}\\'e9 \\f1\\'e9 {\\f0\\'e9}\\'e9\\plain\\'e9}")
      << "é й éйé";
  QTest::newRow("1251 default font")
      << QByteArray("{\\rtf1\\ansi\\deff1{\\fonttbl{\\f1\\fcharset204 "
                    "X;}}\\'c0\\plain\\'c0}")
      << "АА";
  QTest::newRow("font table without groups")
      << QByteArray("{\\rtf1{\\fonttbl\\f0\\fcharset0 A;\\f1\\fcharset204 B;}\\f1\\'c0}") << "А";
  QTest::newRow("font code page") << QByteArray("{\\rtf1{\\fonttbl{\\f0\\cpg1251 A;}}\\'c0}")
                                  << "А";
  QTest::newRow("other code page") << QByteArray("{\\rtf1\\ansi\\ansicpg1253 \\'e1}") << "α";
  QTest::newRow("bad hex") << QByteArray("{\\rtf1 a\\'zzb\\'4}") << "azzb";
  QTest::newRow("unicode") << QByteArray("{\\rtf1 \\u1046?\\u-3913?x}")
                           << QStringLiteral("Ж\uF0B7x");
  QTest::newRow("unicode skip 2") << QByteArray("{\\rtf1\\uc2 \\u1046\\'c6\\'c6x}") << "Жx";
  QTest::newRow("unicode skip 0") << QByteArray("{\\rtf1\\uc0 \\u1046\\u1047 x}") << "ЖЗx";
  QTest::newRow("unicode skip is per group")
      << QByteArray("{\\rtf1 {\\uc2 \\u1046??}\\u1047?x}") << "ЖЗx";
  QTest::newRow("unicode fallback ends at group")
      << QByteArray("{\\rtf1\\uc3 \\u1046{x}y}") << "Жxy";
  QTest::newRow("unicode without fallback") << QByteArray("{\\rtf1 \\u1046\\u1047?}") << "ЖЗ";
  QTest::newRow("surrogate pair") << QByteArray("{\\rtf1 \\u-10179?\\u-8704?}")
                                  << QString::fromUtf8("\xF0\x9F\x98\x80");
  QTest::newRow("lone surrogate") << QByteArray("{\\rtf1 a\\u-10179?b}")
                                  << QStringLiteral("a\uFFFDb");
  QTest::newRow("control characters dropped") << QByteArray("{\\rtf1 a\\u7?\\'01\x01 b}") << "a b";
  QTest::newRow("bin skipped") << QByteArray("{\\rtf1 a\\bin4 }{\\}b}") << "ab";
  QTest::newRow("bin as fallback") << QByteArray("{\\rtf1 \\u1046\\bin1 xb}") << "Жb";
  QTest::newRow("starred destination")
      << QByteArray("{\\rtf1 a{\\*\\unknown x{y}z}b{\\*\\generator W;}c}") << "abc";
  QTest::newRow("known destinations")
      << QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0;}{\\stylesheet{Normal;}}"
                    "{\\info{\\title T}}{\\header h}{\\footer f}{\\pict 0123abcd}a}")
      << "a";
  QTest::newRow("field result kept")
      << QByteArray("{\\rtf1 {\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt link}}}") << "link";
  QTest::newRow("unknown words ignored") << QByteArray("{\\rtf1 \\foo12 a\\x-3 b\\Zz}") << "ab";
  QTest::newRow("table cells") << QByteArray("{\\rtf1 a\\cell b\\cell\\row c}") << "a\tb\t\nc";
  QTest::newRow("special characters")
      << QByteArray("{\\rtf1 \\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote}")
      << QStringLiteral("—–•‘’“”");
  QTest::newRow("text after the document") << QByteArray("{\\rtf1 a}b{c}") << "a";
  QTest::newRow("no trailing par") << QByteArray("{\\rtf1 a\\par}") << "a";
}

void TestRtf::reader() {
  QFETCH(QByteArray, rtf);
  QFETCH(QString, text);
  QCOMPARE(ReadRtf(rtf).plainText(), text);
}

void TestRtf::readerKeepsFormatPerGroup() {
  const RtfDocument doc = ReadRtf("{\\rtf1\\fs20 a{\\b b{\\i\\ul c}\\fs30 d}e\\b f\\b0 g"
                                  "\\ul h\\ulnone i\\uldb j\\ul0 k\\plain\\b\\i l}");
  QCOMPARE(doc.paragraphs.size(), 1);
  const QList<RtfRun> expected = {{"a", {false, false, false, 20}}, {"b", {true, false, false, 20}},
                                  {"c", {true, true, true, 20}},    {"d", {true, false, false, 30}},
                                  {"e", {false, false, false, 20}}, {"f", {true, false, false, 20}},
                                  {"g", {false, false, false, 20}}, {"h", {false, false, true, 20}},
                                  {"i", {false, false, false, 20}}, {"j", {false, false, true, 20}},
                                  {"k", {false, false, false, 20}}, {"l", {true, true, false, 0}}};
  QCOMPARE(doc.paragraphs[0].runs, expected);
}

// A file written by a word processor from tests/core/rtf/data/wordprocessor.html.
void TestRtf::wordProcessorFile() {
  const RtfDocument doc = WordProcessorFile();
  const QStringList lines = {
      QStringLiteral("Device № 1234567 (Иванов Пётр Сергеевич)"),
      QStringLiteral("Device time 09.12.2026 10:15:00"),
      QStringLiteral("09.12.2026 10:20:00 Gamma alarm 0.250 Sv/h"),
      QStringLiteral("09.12.2026 11:00:00 Прибор выключен"),
      QStringLiteral("09.12.2026 12:30:00 Alarma de tiempo: señal, canción, más, ¿Qué?"),
      QStringLiteral("Backslash \\ and {braces} and italic and underlined text.")};
  QCOMPARE(doc.plainText(), lines.join(QLatin1Char('\n')));
  QCOMPARE(doc.fontName, QStringLiteral("DejaVu Serif"));
  for (int i = 0; i < lines.size(); ++i)
    for (const RtfRun &run : doc.paragraphs[i].runs)
      QCOMPARE(run.format.bold, i < 2);
  const QList<RtfRun> &last = doc.paragraphs.last().runs;
  QCOMPARE(last.size(), 5);
  QVERIFY(last[1].text == u"italic" && last[1].format.italic && !last[1].format.underline);
  QVERIFY(last[3].text == u"underlined" && last[3].format.underline && !last[3].format.italic);
}

void TestRtf::damagedInput_data() {
  QTest::addColumn<QByteArray>("rtf");
  QTest::addColumn<QString>("text");
  QTest::newRow("empty") << QByteArray() << "";
  QTest::newRow("blanks") << QByteArray(" \r\n\t") << "";
  QTest::newRow("plain text") << QByteArray("Device time") << "";
  QTest::newRow("other format") << QByteArray("%PDF-1.4 {\\rtf1 x}") << "";
  QTest::newRow("NUL bytes") << QByteArray(64, '\0') << "";
  QTest::newRow("only the start") << QByteArray("{\\rtf") << "";
  QTest::newRow("unclosed") << QByteArray("{\\rtf1 abc{\\b def") << "abcdef";
  QTest::newRow("too many closing") << QByteArray("{\\rtf1 a}}}}") << "a";
  QTest::newRow("backslash at the end") << QByteArray("{\\rtf1 a\\") << "a";
  QTest::newRow("hex cut") << QByteArray("{\\rtf1 a\\'c") << "a";
  QTest::newRow("unicode at the end") << QByteArray("{\\rtf1 a\\u1046") << "aЖ";
  QTest::newRow("huge numbers")
      << QByteArray("{\\rtf1\\fs99999999999999999999 a\\u99999999999999?\\uc-5 \\u-99999999 b"
                    "\\ansicpg-7 \\'e9\\f-3 \\deff99999999999 c}")
      << QStringLiteral("a\uFFFD\uFFFDbéc");
  QTest::newRow("bin beyond the end") << QByteArray("{\\rtf1 a\\bin999999999999 b}") << "a";
  QTest::newRow("negative bin") << QByteArray("{\\rtf1 a\\bin-5 b}") << "ab";
  QTest::newRow("star alone") << QByteArray("{\\rtf1 a\\*b}") << "ab";
  QTest::newRow("long word") << QByteArray("{\\rtf1 \\") + QByteArray(100000, 'p') + "ar b}"
                             << "b";
}

void TestRtf::damagedInput() {
  QFETCH(QByteArray, rtf);
  QFETCH(QString, text);
  QCOMPARE(ReadRtf(rtf).plainText(), text);
}

void TestRtf::truncatedAtEveryByte() {
  const QList<QByteArray> files = {
      ReadAll(QStringLiteral(VX_SOURCE_DIR "/tests/core/rtf/data/wordprocessor.rtf")),
      WriteRtf(HistoryDocument())};
  for (const QByteArray &file : files) {
    QVERIFY(!file.isEmpty());
    const RtfDocument whole = ReadRtf(file);
    for (qsizetype length = 0; length < file.size(); ++length) {
      CompareCompleteParagraphs(ReadRtf(file.left(length)), whole);
      if (QTest::currentTestFailed())
        QFAIL(qPrintable(QStringLiteral("cut at %1").arg(length)));
    }
  }
}

void TestRtf::randomBytes() {
  static const QList<QByteArray> tokens = {"{",
                                           "}",
                                           "\\",
                                           "\\par ",
                                           "\\u-5",
                                           "\\u1046",
                                           "\\uc3 ",
                                           "\\uc0",
                                           "\\'",
                                           "\\'e",
                                           "\\'c0",
                                           "\\bin3 ",
                                           "\\bin",
                                           "\\*",
                                           "\\fonttbl",
                                           "\\f1",
                                           "\\fcharset204 ",
                                           "\\ansicpg1251",
                                           "\\ansicpg932",
                                           "\\b",
                                           "\\b0",
                                           "\\plain",
                                           "\\fs",
                                           "\\pict",
                                           ";",
                                           "x",
                                           " ",
                                           "\r\n",
                                           "\xff"};
  for (quint32 seed = 1; seed <= 40; ++seed) {
    QRandomGenerator random(seed);
    QByteArray bytes(int(random.bounded(1, 20000)), Qt::Uninitialized);
    for (char &byte : bytes)
      byte = char(random.bounded(256));
    ReadRtf(bytes);
    ReadRtf("{\\rtf1 " + bytes);

    QByteArray soup("{\\rtf1 ");
    for (int i = 0; i < 5000; ++i)
      soup += tokens[random.bounded(int(tokens.size()))];
    const RtfDocument doc = ReadRtf(soup);
    for (const RtfParagraph &paragraph : doc.paragraphs)
      for (const RtfRun &run : paragraph.runs) {
        QVERIFY(!run.text.isEmpty());
        QVERIFY(!run.text.contains(QLatin1Char('\n')));
      }
  }
}

void TestRtf::deepNesting() {
  const int levels = 100000;
  const QByteArray open(levels, '{');
  const QByteArray close(levels, '}');
  QCOMPARE(ReadRtf("{\\rtf1 before" + open + "deep" + close + " after}").plainText(),
           QStringLiteral("before after"));
  QCOMPARE(ReadRtf("{\\rtf1 a" + open + "b").plainText(), QStringLiteral("a"));
  QCOMPARE(ReadRtf("{\\rtf1 a" + close + "b").plainText(), QStringLiteral("a"));

  // Down to the limit the text is kept and every group restores its format.
  const int kept = RtfMaxGroupDepth - 1; // below the outermost group
  const RtfDocument doc = ReadRtf("{\\rtf1 " + QByteArray(kept, '{') + "\\b deep{lost}" +
                                  QByteArray(kept, '}') + " plain}");
  QCOMPARE(doc.plainText(), QStringLiteral("deep plain"));
  QCOMPARE(doc.paragraphs[0].runs.size(), 2);
  QVERIFY(doc.paragraphs[0].runs[0].format.bold);
  QVERIFY(!doc.paragraphs[0].runs[1].format.bold);

  QByteArray formatted("{\\rtf1 ");
  for (int i = 0; i < levels; ++i)
    formatted += "{\\b\\u1046?";
  QCOMPARE(ReadRtf(formatted).plainText().size(), kept);
}

void TestRtf::hugeInput() {
  QByteArray lines("{\\rtf1\\ansi ");
  const QByteArray line("09.12.2026 10:20:00 Gamma alarm 0.250 Sv/h se\\'f1al\\par\n");
  while (lines.size() < 4 * 1024 * 1024)
    lines += line;
  const qsizetype count = (lines.size() - 12) / line.size();
  lines += '}';
  const RtfDocument doc = ReadRtf(lines);
  QCOMPARE(doc.paragraphs.size(), count);
  QCOMPARE(doc.paragraphs.last().text(),
           QStringLiteral("09.12.2026 10:20:00 Gamma alarm 0.250 Sv/h señal"));

  QByteArray unicode("{\\rtf1 ");
  for (int i = 0; i < 300000; ++i)
    unicode += "\\u1046\\'3f";
  QCOMPARE(ReadRtf(unicode).plainText(), QString(300000, QChar(0x0416)));

  QByteArray words("{\\rtf1 ");
  for (int i = 0; i < 300000; ++i)
    words += "\\b\\b0{\\i}";
  QVERIFY(ReadRtf(words + "x}").plainText() == u"x");
}

QTEST_GUILESS_MAIN(TestRtf)
#include "tst_rtf.moc"
