#include <QFile>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include "lang/FileDialogFilter.h"
#include "lang/LanguageFile.h"
#include "lang/ProgramTexts.h"
#include "lang/TextTable.h"

namespace {

const QString LangFolder = QStringLiteral(VX_SOURCE_DIR "/lang/");

// A table whose every entry is "#<entry>", so that a test sees which entries a
// load touched.
TextTable markedTable() {
  TextTable t;
  for (int i = 0; i < TextTable::Count; ++i)
    t.set(i, QStringLiteral("#%1").arg(i));
  return t;
}

QByteArray readAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestLang : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;

  QString writeFile(const QByteArray &content) {
    static int n = 0;
    const QString path = dir_.filePath(QStringLiteral("lang%1.txt").arg(++n));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
      qFatal("cannot write %s", qPrintable(path));
    return path;
  }

private slots:
  void builtInEnglishTexts() {
    TextTable t;
    QCOMPARE(TextTable::Count, 283);
    QCOMPARE(t.at(0), u"VX4418M data processing software");
    QCOMPARE(t.at(3), u"Languade");
    QCOMPARE(t.at(16), QString::fromUtf16(u"Device \u043Eff"));
    QCOMPARE(t.at(17), QString::fromUtf16(u"Device \u043En"));
    QCOMPARE(t.at(96), u"MS-Access files|(*.mdb)");
    QCOMPARE(t.at(111), u"User: ");
    QCOMPARE(t.at(133), u"Check for cancel all setting filters and press \"Applay\"");
    QCOMPARE(t.at(143), u"Battary of from instrument");
    QCOMPARE(t.at(149), QString::fromUtf16(u"Device \u2116"));
    QCOMPARE(t.at(230),
             u"Other parameters will be ignored, because not all of them are defined!  Continue?");
    QCOMPARE(t.at(244), u"uSv/h");
    QCOMPARE(t.at(281), u"Show history in  Roentgen");
    QCOMPARE(t.at(282), u"Instrument is not registered to any user. Disable clear history of "
                        u"unregister instrument!");
    for (int i = 0; i < TextTable::Count; ++i) {
      QVERIFY2(!t.at(i).isEmpty(), qPrintable(QString::number(i)));
      QCOMPARE(TextTable::defaultText(i), t.at(i));
    }
    // Only the three known texts leave ASCII.
    int nonAscii = 0;
    for (int i = 0; i < TextTable::Count; ++i)
      for (QChar c : t.at(i))
        nonAscii += c.unicode() > 0x7F;
    QCOMPARE(nonAscii, 3);
  }

  void indexOutsideTable() {
    TextTable t;
    QVERIFY(t.at(-1).isEmpty());
    QVERIFY(t.at(TextTable::Count).isEmpty());
    QVERIFY(TextTable::defaultText(TextTable::Count).isEmpty());
    t.set(-1, QStringLiteral("x"));
    t.set(TextTable::Count, QStringLiteral("x"));
    QVERIFY(t.at(TextTable::Count).isEmpty());
    t.set(5, QStringLiteral("x"));
    QCOMPARE(t.at(5), u"x");
    t.restoreDefaults();
    QCOMPARE(t.at(5), u"English");
  }

  void fileLinesFillEveryEntryButOneOnce() {
    QSet<int> seen;
    for (int k = 0; k < TextTable::FileLineCount; ++k) {
      const int e = TextTable::entryOfFileLine(k);
      QVERIFY(e >= 0 && e < TextTable::Count);
      QVERIFY2(!seen.contains(e), qPrintable(QString::number(e)));
      seen.insert(e);
    }
    QCOMPARE(seen.size(), 282);
    QVERIFY(!seen.contains(143));
    QCOMPARE(TextTable::entryOfFileLine(-1), -1);
    QCOMPARE(TextTable::entryOfFileLine(282), -1);
    // The block boundaries of the file order.
    const QList<QPair<int, int>> known = {
        {0, 0},     {17, 17},   {18, 21},   {81, 84},   {82, 99},   {122, 139}, {123, 144},
        {178, 199}, {179, 201}, {198, 225}, {200, 227}, {201, 229}, {235, 263}, {236, 265},
        {249, 278}, {250, 92},  {254, 96},  {255, 228}, {256, 282}, {257, 18},  {259, 20},
        {260, 140}, {261, 279}, {264, 220}, {269, 200}, {270, 85},  {272, 97},  {274, 87},
        {278, 91},  {279, 141}, {280, 142}, {281, 264}};
    for (const auto &[line, entry] : known)
      QCOMPARE(TextTable::entryOfFileLine(line), entry);
  }

  void hintParts() {
    QCOMPARE(TextTable::shortHint(QStringLiteral("Save as text|Save select part")),
             u"Save as text");
    QCOMPARE(TextTable::longHint(QStringLiteral("Save as text|Save select part")),
             u"Save select part");
    QCOMPARE(TextTable::shortHint(QStringLiteral("Print")), u"Print");
    QCOMPARE(TextTable::longHint(QStringLiteral("Print")), u"Print");
    QCOMPARE(TextTable::longHint(QStringLiteral("a|b|c")), u"b|c");
  }

  void fileDialogFilters_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("qt");
    QTest::newRow("pattern in parentheses") << "MS-Access files|(*.mdb)"
                                            << "MS-Access files (*.mdb)";
    QTest::newRow("pattern in the description too") << "Text files (*.txt)|*.TXT"
                                                    << "Text files (*.txt) (*.TXT)";
    QTest::newRow("several pairs and patterns") << "Text|*.txt;*.log|All files|*.*"
                                                << "Text (*.txt *.log);;All files (*.*)";
    QTest::newRow("no pattern") << "Anything"
                                << "Anything (*)";
    QTest::newRow("empty pattern") << "Anything|()"
                                   << "Anything (*)";
    QTest::newRow("empty") << ""
                           << "";
  }

  void fileDialogFilters() {
    QFETCH(QString, filter);
    QFETCH(QString, qt);
    QCOMPARE(QtFileDialogFilter(filter), qt);
  }

  void missingOrUnreadableFileLeavesTable() {
    TextTable t = markedTable();
    const TextTable before = t;
    QVERIFY(!t.loadLanguageFile(dir_.filePath(QStringLiteral("absent.txt"))));
    QVERIFY(!t.loadLanguageFile(QString()));
    QVERIFY(!t.loadLanguageFile(dir_.path())); // a folder
    QFile locked(writeFile("text\n"));
    locked.setPermissions(QFileDevice::Permissions());
    if (!QFile(locked.fileName()).open(QIODevice::ReadOnly)) // not when run as root
      QVERIFY(!t.loadLanguageFile(locked.fileName()));
    for (int i = 0; i < TextTable::Count; ++i)
      QCOMPARE(t.at(i), before.at(i));
  }

  void shortFileChangesOnlyItsLines() {
    TextTable t = markedTable();
    QVERIFY(t.loadLanguageFile(writeFile("Caption only")));
    QCOMPARE(t.at(0), u"Caption only");
    for (int i = 1; i < TextTable::Count; ++i)
      QCOMPARE(t.at(i), QStringLiteral("#%1").arg(i));

    // 19 lines, the last one empty: line 18 fills entry 21 with an empty text.
    t = markedTable();
    QVERIFY(t.loadLanguageFile(writeFile(QByteArray("x\n").repeated(18) + "\n")));
    QCOMPARE(t.at(17), u"x");
    QVERIFY(t.at(21).isEmpty());
    QCOMPARE(t.at(18), u"#18");
    QCOMPARE(t.at(22), u"#22");

    QVERIFY(t.loadLanguageFile(writeFile(QByteArray())));
    QCOMPARE(t.at(0), u"x");
  }

  void lineEnds_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("texts"); // entries 0, 1, 2, 3

    const QStringList abc = {"a", "b", "c", "#3"};
    QTest::newRow("LF") << QByteArray("a\nb\nc\n") << abc;
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\nc\r\n") << abc;
    QTest::newRow("lone CR") << QByteArray("a\rb\rc\r") << abc;
    QTest::newRow("mixed, no end") << QByteArray("a\r\nb\rc") << abc;
    QTest::newRow("LF CR is two ends") << QByteArray("a\n\rb") << QStringList{"a", "", "b", "#3"};
    QTest::newRow("empty lines") << QByteArray("\n\n\nd") << QStringList{"", "", "", "d"};
    QTest::newRow("blanks kept") << QByteArray(" a \n\tb\t\n  \n")
                                 << QStringList{" a ", "\tb\t", "  ", "#3"};
    QTest::newRow("no escapes") << QByteArray("a\\nb\n\"q\"\n;c")
                                << QStringList{"a\\nb", "\"q\"", ";c", "#3"};
  }

  void lineEnds() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, texts);
    TextTable t = markedTable();
    QVERIFY(t.loadLanguageFile(writeFile(content)));
    for (int i = 0; i < 4; ++i)
      QCOMPARE(t.at(i), texts.at(i));
  }

  void encodings_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");

    QTest::newRow("UTF-8") << QByteArray(
                                  "\xD0\x9C\xD0\xBA\xD0\x97\xD0\xB2/\xD1\x87\nDevice \xE2\x84\x96")
                           << QString::fromUtf16(u"\u041C\u043A\u0417\u0432/\u0447")
                           << QString::fromUtf16(u"Device \u2116");
    QTest::newRow("Windows-1251") << QByteArray("\xCC\xEA\xC7\xE2/\xF7\nDevice \xB9")
                                  << QString::fromUtf16(u"\u041C\u043A\u0417\u0432/\u0447")
                                  << QString::fromUtf16(u"Device \u2116");
    QTest::newRow("byte order mark dropped") << QByteArray("\xEF\xBB\xBF"
                                                           "abc\r\ndef")
                                             << QStringLiteral("abc") << QStringLiteral("def");
    QTest::newRow("one bad byte makes the file 1251")
        << QByteArray("\xD0\xBE\n\xEE") << QString::fromUtf16(u"\u0420\u0455")
        << QString::fromUtf16(u"\u043E");
    QTest::newRow("mark wins over bad bytes")
        << QByteArray("\xEF\xBB\xBF\xD0\xBE\n\xEE") << QString::fromUtf16(u"\u043E")
        << QString::fromUtf16(u"\uFFFD");
    QTest::newRow("binary") << QByteArray("\x00\x01\xFF\x98", 4) + "\n\x7F"
                            << QString(QChar(0)) + QChar(1) + QChar(0x044F) + QChar(0x0098)
                            << QString::fromUtf16(u"\u007F");
  }

  void encodings() {
    QFETCH(QByteArray, content);
    QFETCH(QString, first);
    QFETCH(QString, second);
    TextTable t = markedTable();
    QVERIFY(t.loadLanguageFile(writeFile(content)));
    QCOMPARE(t.at(0), first);
    QCOMPARE(t.at(1), second);
    QCOMPARE(t.at(2), u"#2");
  }

  void largeFiles() {
    // Thousands of lines: the first 282 are used, the rest ignored. A bad byte
    // beyond them does not change how the used lines are read.
    QByteArray many;
    for (int k = 0; k < 5000; ++k)
      many += "line \xD0\xBE " + QByteArray::number(k) + "\r\n";
    many += "\xFF";
    TextTable t = markedTable();
    QVERIFY(t.loadLanguageFile(writeFile(many)));
    for (int k = 0; k < TextTable::FileLineCount; ++k)
      QCOMPARE(t.at(TextTable::entryOfFileLine(k)),
               QString::fromUtf16(u"line \u043E ") + QString::number(k));
    QCOMPARE(t.at(143), u"#143");

    // A very long line is one whole text.
    const QByteArray longLine = QByteArray(3'000'000, 'x');
    QVERIFY(t.loadLanguageFile(writeFile(longLine + "\nnext")));
    QCOMPARE(t.at(0).size(), longLine.size());
    QCOMPARE(t.at(1), u"next");
  }

  void oversizedFileKeepsWholeLinesOnly() {
    // Past the size limit the file is cut after its last whole line.
    QByteArray content = "first\n" + QByteArray(LanguageFileMaxBytes, 'y') + "\nlast\n";
    TextTable t = markedTable();
    QVERIFY(t.loadLanguageFile(writeFile(content)));
    QCOMPARE(t.at(0), u"first");
    QCOMPARE(t.at(1), u"#1");

    content = QByteArray(LanguageFileMaxBytes + 10, 'z');
    QVERIFY(t.loadLanguageFile(writeFile(content)));
    QCOMPARE(t.at(0), u"first");
  }

  void builtInCodePageTableMatchesConverter() {
    QStringDecoder icu("windows-1251");
    if (!icu.isValid())
      QSKIP("no Windows-1251 converter on this platform");
    QByteArray all;
    for (int b = 0; b < 256; ++b)
      all += char(b);
    QCOMPARE(Windows1251TableDecode(all), QString(icu(all)));
  }

  void deliveredFiles_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("English") << QStringLiteral("LangE.txt");
    QTest::newRow("Russian") << QStringLiteral("LangR.txt");
    QTest::newRow("Spanish") << QStringLiteral("LangES.txt");
  }

  void deliveredFiles() {
    QFETCH(QString, file);
    const QByteArray bytes = readAll(LangFolder + file);
    QVERIFY(!bytes.isEmpty());
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8(bytes);
    QVERIFY2(!utf8.hasError(), "not UTF-8");
    const QStringList lines = DecodeLanguageLines(bytes, 1'000'000);
    QCOMPARE(lines.size(), TextTable::FileLineCount + int(ProgramText::Count));

    TextTable t = markedTable();
    QVERIFY(t.loadLanguageFile(LangFolder + file));
    QCOMPARE(t.at(143), u"#143");
    for (int k = 0; k < TextTable::FileLineCount; ++k) {
      const int e = TextTable::entryOfFileLine(k);
      const QString &english = TextTable::defaultText(e);
      const QString &own = t.at(e);
      const QByteArray where =
          QStringLiteral("%1 line %2 (entry %3): %4").arg(file).arg(k).arg(e).arg(own).toUtf8();
      QVERIFY2(!own.trimmed().isEmpty(), where.constData());
      QVERIFY2(own.count(u'|') == english.count(u'|'), where.constData());
      QVERIFY2(own.endsWith(u' ') == english.endsWith(u' '), where.constData());
      QVERIFY2(own.startsWith(u' ') == english.startsWith(u' '), where.constData());
    }
    // File-dialog patterns stay as they are.
    for (int e : {96, 98})
      QCOMPARE(t.at(e).section(u'|', 1), TextTable::defaultText(e).section(u'|', 1));
  }

  void addedTextsFollowTheTableInEveryFile() {
    // The lines after the table are the added texts, each as built in for the
    // file's language; a file that lacks them (an older one) gets the built-in
    // texts of its language, and a line of the file wins over the built-in text.
    struct File {
      const char *name;
      Language language;
    };
    for (const File f : {File{"LangE.txt", Language::English}, File{"LangR.txt", Language::Russian},
                         File{"LangES.txt", Language::Spanish}}) {
      const QString name = QString::fromLatin1(f.name);
      const QStringList lines = DecodeLanguageLines(readAll(LangFolder + name), 1'000'000);
      TextTable t;
      QVERIFY(t.loadLanguageFile(LangFolder + name));
      QCOMPARE(t.language(), f.language);
      for (int i = 0; i < int(ProgramText::Count); ++i) {
        QVERIFY2(!lines.value(TextTable::FileLineCount + i).isEmpty(), qPrintable(name));
        QCOMPARE(t.text(ProgramText(i)), ProgramTextIn(f.language, ProgramText(i)));
      }

      const QString older = dir_.filePath(QStringLiteral("old-") + name);
      QFile out(older);
      QVERIFY(out.open(QIODevice::WriteOnly));
      out.write(lines.mid(0, TextTable::FileLineCount).join(u'\n').toUtf8());
      out.close();
      TextTable o;
      QVERIFY(o.loadLanguageFile(older));
      QCOMPARE(o.at(1), t.at(1));
      QCOMPARE(o.text(ProgramText::DosesTitle), ProgramTextIn(f.language, ProgramText::DosesTitle));
    }
    QStringList own(TextTable::FileLineCount, QStringLiteral("x"));
    own << QStringLiteral("At most %1!") << QString() << QStringLiteral("Diary");
    const QString path = dir_.filePath(QStringLiteral("LangES-own.txt"));
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(own.join(u'\n').toUtf8());
    out.close();
    TextTable t;
    QVERIFY(t.loadLanguageFile(path));
    QCOMPARE(t.text(ProgramText::NameTooLong), QStringLiteral("At most %1!").arg(MaxNameLength));
    QCOMPARE(t.text(ProgramText::JournalCommand),
             ProgramTextIn(Language::Spanish, ProgramText::JournalCommand));
    QCOMPARE(t.text(ProgramText::JournalHint), u"Diary");
    t.restoreDefaults();
    QCOMPARE(t.text(ProgramText::JournalHint),
             ProgramTextIn(Language::English, ProgramText::JournalHint));
  }

  void englishFileReproducesBuiltInTexts() {
    TextTable t = markedTable();
    QVERIFY(t.loadLanguageFile(LangFolder + "LangE.txt"));
    for (int i = 0; i < TextTable::Count; ++i)
      if (i != 143)
        QCOMPARE(t.at(i), TextTable::defaultText(i));
  }

  void switchingLanguagesWithShortEnglishFile() {
    // Russian, then an English file of 100 lines: lines 0-99 are English again,
    // every other entry stays Russian, entry 143 stays English throughout.
    TextTable russian;
    QVERIFY(russian.loadLanguageFile(LangFolder + "LangR.txt"));
    const QStringList english = DecodeLanguageLines(readAll(LangFolder + "LangE.txt"), 100);
    QCOMPARE(english.size(), 100);
    TextTable t = russian;
    QVERIFY(t.loadLanguageFile(writeFile(english.join(u'\n').toUtf8())));
    for (int k = 0; k < TextTable::FileLineCount; ++k) {
      const int e = TextTable::entryOfFileLine(k);
      QCOMPARE(t.at(e), k < 100 ? TextTable::defaultText(e) : russian.at(e));
    }
    QCOMPARE(t.at(143), TextTable::defaultText(143));
    QVERIFY(russian.at(0) != TextTable::defaultText(0));
  }
};

QTEST_GUILESS_MAIN(TestLang)
#include "tst_lang.moc"
