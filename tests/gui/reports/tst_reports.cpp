// The two printed reports, printed to PDF against a copy of the supplied
// database and read back with the poppler tools: page size, bands on the
// right pages, positions, the cell renderers and the preview itself.
#include "ProgramFolder.h"
#include "QueuedFileDialogs.h"
#include "RecordingMessages.h"
#include "common/AppContext.h"
#include "common/FileDialogs.h"
#include "common/OperatorMessages.h"
#include "db/TDM.h"
#include "dialogs/FormPrintHistory.h"
#include "dialogs/FormPrintUser.h"
#include "history/DayCount.h"

#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QtTest>

namespace {

constexpr double kPtPerMm = 72.0 / 25.4;
// Left edge of the page body, in points.
constexpr double kBodyLeft = 10 * kPtPerMm;

QString run(const QString &program, const QStringList &args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(30000) || p.exitCode() != 0)
    return {};
  return QString::fromUtf8(p.readAllStandardOutput());
}

// Text read back from a PDF with the typographic ligatures some fonts draw
// ("ff", "fi" ... as one glyph) spelled out again: which font the desktop
// offers for the report is not what these tests look at.
QString pdfText(const QStringList &args) {
  QString text = run("pdftotext", args);
  for (qsizetype i = text.size() - 1; i >= 0; --i)
    if (text[i] >= QChar(0xFB00) && text[i] <= QChar(0xFB06))
      text.replace(i, 1, text.mid(i, 1).normalized(QString::NormalizationForm_KC));
  return text;
}

// One word of a PDF page with its left edge in points.
struct Word {
  int page;
  double x;
  double y;
  QString text;
};

// A printed PDF as the poppler tools read it back.
struct Pdf {
  QString info;            // pdfinfo output
  QStringList pages;       // pdftotext -layout, one text per page, without its footer
  QStringList footers;     // the footer line of each page that has one, blanks collapsed
  std::vector<Word> words; // pdftotext -bbox

  explicit Pdf(const QString &path) {
    info = run("pdfinfo", {path});
    pages = pdfText({"-layout", path, "-"}).split(u'\f');
    if (!pages.isEmpty() && pages.back().trimmed().isEmpty())
      pages.removeLast();
    static const QRegularExpression footer(R"((Page|Страница|Página) \d+ (of|из|de) \d+$)");
    for (QString &page : pages) {
      QStringList lines = page.split(u'\n');
      while (!lines.isEmpty() && lines.back().trimmed().isEmpty())
        lines.removeLast();
      if (!lines.isEmpty() && footer.match(lines.back().simplified()).hasMatch()) {
        footers << lines.takeLast().simplified();
        page = lines.join(u'\n');
      }
    }
    const QString html = pdfText({"-bbox", path, "-"});
    static const QRegularExpression tag(
        R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)"[^>]*>([^<]*)</word>)re");
    int page = -1;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
      const auto m = it.next();
      if (m.captured(0).startsWith("<page"))
        ++page;
      else
        words.push_back({page, m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3)});
    }
  }
  // Page size in whole points (pdfinfo rounds A4 to 595 x 842).
  bool a4() const {
    return info.contains(
        QRegularExpression(R"(Page size:\s+595(\.\d+)? x 84[12](\.\d+)? pts \(A4\))"));
  }
  int pageCount() const {
    static const QRegularExpression re(R"(Pages:\s+(\d+))");
    return re.match(info).captured(1).toInt();
  }
  // The first word with this text: its left edge in mm from the page body.
  double leftOf(const QString &text, int page = 0) const {
    for (const Word &w : words)
      if (w.page == page && w.text == text)
        return (w.x - kBodyLeft) / kPtPerMm;
    return -1000;
  }
  // The line of the layout text holding `marker`, blanks collapsed.
  QString line(const QString &marker) const {
    for (const QString &p : pages)
      for (const QString &l : p.split(u'\n'))
        if (l.contains(marker))
          return l.simplified();
    return {};
  }
  // Lines of one page that hold anything.
  QStringList linesOf(int page) const {
    QStringList out;
    for (const QString &l : pages.value(page).split(u'\n'))
      if (!l.trimmed().isEmpty())
        out << l.simplified();
    return out;
  }
};

struct Fixture {
  ProgramFolder folder{false};
  AppState state;
  RecordingMessages messages;
  QueuedFileDialogs files;
  AppContext ctx{state, messages, files, QString()};
  TDM dm{state.clock, folder.databasePath()};
  TFormPrintUser userReport{ctx};
  TFormPrintHistory historyReport{ctx};
  QTemporaryDir out;
  QStringList captions; // preview captions, one per report shown
  int printed = 0;

  Fixture() {
    ctx.DM = &dm;
    const ReportPreview toPdf = [this](const ReportJob &job, QWidget *) {
      captions << job.caption;
      QPrinter printer(QPrinter::HighResolution);
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(pdfPath());
      ++printed;
      QVERIFY(job.print(printer));
    };
    userReport.SetPreview(toPdf);
    historyReport.SetPreview(toPdf);
  }
  QString pdfPath() const { return out.filePath(QString("report%1.pdf").arg(printed)); }
  Pdf lastPdf() const { return Pdf(out.filePath(QString("report%1.pdf").arg(printed - 1))); }

  void exec(const QStringList &statements, const QVariantList &values = {}) {
    const QString name = "report-writer";
    {
      QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
      db.setDatabaseName(folder.databasePath());
      QVERIFY(db.open());
      QSqlQuery q(db);
      for (const QString &s : statements) {
        QVERIFY2(q.prepare(s), qPrintable(s));
        for (qsizetype i = 0; i < values.size() && s.contains(u'?'); ++i)
          q.addBindValue(values[i]);
        QVERIFY2(q.exec(), qPrintable(s + ": " + q.lastError().text()));
      }
    }
    QSqlDatabase::removeDatabase(name);
  }
  void addUser(int id, const QString &second, const QString &first, const QVariant &middle,
               const QVariant &device) {
    exec({"INSERT INTO TableUser (UserId, UserSecondName, UserFirstName, UserMiddleName, "
          "DeviceId) VALUES (?, ?, ?, ?, ?)"},
         {id, second, first, middle, device});
  }
  void addEvent(int user, const QVariant &device, const QVariant &time, const QVariant &code,
                const QVariant &value, const QVariant &de) {
    exec({"INSERT INTO TableHistory (DeviceId, UserId, DateTimeEvent, EventType, EventValue, "
          "DEValue) VALUES (?, ?, ?, ?, ?, ?)"},
         {device, user, time, code, value, de});
  }
};

const QVariant kNull = QVariant(QMetaType::fromType<double>());

double at(int day, int h, int m, int s) {
  return DayCountOf(QDate(2024, 3, day), QTime(h, m, s));
}

} // namespace

class TestReports : public QObject {
  Q_OBJECT
private slots:
  void initTestCase() { QLocale::setDefault(QLocale::c()); }

  // A list over three pages: A4, the title on the first page only, the
  // column titles on every page, every person once and in order.
  void userListRepeatsColumnTitlesOnEveryPage() {
    Fixture f;
    for (int i = 0; i < 60; ++i)
      f.addUser(i + 1, QString("Second%1").arg(i, 2, 10, QChar('0')), "First", "Middle", 100 + i);
    QVERIFY(f.userReport.ShowReport());
    QCOMPARE(f.captions, QStringList{"Print preview of the users list"});
    const Pdf pdf = f.lastPdf();
    QVERIFY2(pdf.a4(), qPrintable(pdf.info));
    QCOMPARE(pdf.pageCount(), 3);
    QCOMPARE(pdf.pages.size(), 3);
    for (int p = 0; p < 3; ++p) {
      const QStringList lines = pdf.linesOf(p);
      QCOMPARE(lines.value(p == 0 ? 1 : 0), QString("Second name First name Middle name Device №"));
      QCOMPARE(pdf.pages[p].contains("The list of users"), p == 0);
    }
    QCOMPARE(pdf.linesOf(0).size(), 2 + 27);
    QCOMPARE(pdf.linesOf(1).size(), 1 + 28);
    qsizetype last = -1;
    const QString all = pdf.pages.join(u'\f');
    for (int i = 0; i < 60; ++i) {
      const QString name = QString("Second%1").arg(i, 2, 10, QChar('0'));
      QCOMPARE(all.count(name), 1);
      QVERIFY(all.indexOf(name) > last);
      last = all.indexOf(name);
    }
  }

  // The texts stand where the report's layout puts them, in millimetres
  // from the left of the page body; a long name is cut within its column.
  void userListPositionsAndLongNames() {
    Fixture f;
    f.addUser(1, QString(300, u'W'), "Ivan", "Petrovich", 7);
    QVERIFY(f.userReport.ShowReport());
    const Pdf pdf = f.lastPdf();
    QVERIFY(qAbs(pdf.leftOf("Second") - 1.1) < 0.3);
    QVERIFY(qAbs(pdf.leftOf("First") - 66.9) < 0.3);
    QVERIFY(qAbs(pdf.leftOf("Middle") - 120.7) < 0.3);
    QVERIFY(qAbs(pdf.leftOf("Ivan") - 66.9) < 0.3);
    QVERIFY(qAbs(pdf.leftOf("Petrovich") - 120.9) < 0.3);
    QVERIFY(qAbs(pdf.leftOf("7") - 165.1) < 0.3);
    const QString row = pdf.line("Ivan");
    QVERIFY2(row.endsWith("… Ivan Petrovich 7"), qPrintable(row));
    QVERIFY(!row.contains(QString(300, u'W')));
  }

  void userListInstrumentCell_data() {
    QTest::addColumn<QVariant>("device");
    QTest::addColumn<QString>("printed");
    QTest::newRow("none (-1)") << QVariant(-1) << "";
    QTest::newRow("NULL") << QVariant(QMetaType::fromType<int>()) << "";
    QTest::newRow("negative") << QVariant(-5) << "";
    QTest::newRow("zero") << QVariant(0) << "0";
    QTest::newRow("number") << QVariant(1234567) << "1234567";
    QTest::newRow("not a number") << QVariant("x12") << "";
  }
  void userListInstrumentCell() {
    QFETCH(QVariant, device);
    QFETCH(QString, printed);
    Fixture f;
    f.addUser(1, "O'Brien", "Anna", kNull, device);
    QVERIFY(f.userReport.ShowReport());
    QCOMPARE(f.lastPdf().line("O'Brien"), ("O'Brien Anna " + printed).trimmed());
  }

  // Every kind of row, none left out, with the unit in force at printing.
  void historyCells_data() {
    QTest::addColumn<bool>("roentgen");
    QTest::addColumn<QStringList>("rows");
    const auto rows = [](const QString &rate, const QString &dose, const QString &zero,
                         const QString &large) {
      return QStringList{"15 Mar 2024 10:20:30 Gamma alarm " + rate + " 1001",
                         "15 Mar 2024 10:21:00 Time alarm " + dose + " 1002",
                         "15 Mar 2024 10:22:00 1003",
                         "15 Mar 2024 10:23:00 Device оn 1004",
                         "15 Mar 2024 10:24:00 Device оff 1005",
                         "15 Mar 2024 10:25:00 12 1006",
                         "15 Mar 2024 10:26:00 1007",
                         "15 Mar 2024 10:27:00 Time alarm " + large + " 1010",
                         "16 Mar 2024 Doze alarm " + zero + " 1009",
                         "Device is received 1008"};
    };
    QTest::newRow("sievert") << false
                             << rows("500.000 uSv/h", "2.000 mSv", "0.00000 uSv", "250.500 Sv/h");
    QTest::newRow("roentgen") << true
                              << rows("50.000 mR/h", "0.200 R", "0.00000 uR", "25050.000 R/h");
  }
  void historyCells() {
    QFETCH(bool, roentgen);
    QFETCH(QStringList, rows);
    Fixture f;
    f.addUser(3, "Ivanov", "Ivan", "Ivanovich", 1001);
    f.addEvent(3, 1001, at(15, 10, 20, 30), 1, 0.0005, 0.01); // DE not shown for gamma
    f.addEvent(3, 1002, at(15, 10, 21, 0), 7, -1.0, 0.002);   // negative rate: empty value
    f.addEvent(3, 1003, at(15, 10, 22, 0), 4, kNull, 0.1);    // on/off unknown: empty event
    f.addEvent(3, 1004, at(15, 10, 23, 0), 4, 1.0, 0.1);
    f.addEvent(3, 1005, at(15, 10, 24, 0), 4, -1.0, 0.1);
    f.addEvent(3, 1006, at(15, 10, 25, 0), 12, 0.5, 0.5);    // unknown code: its number
    f.addEvent(3, 1007, at(15, 10, 26, 0), kNull, 0.5, 0.5); // no code: still printed
    f.addEvent(3, 1008, kNull, 5, kNull, kNull);             // no time: still printed
    f.addEvent(3, 1009, at(16, 0, 0, 0), 8, 0.3, 0.0);       // midnight: the date alone
    f.addEvent(3, 1010, at(15, 10, 27, 0), 7, 250.5, -0.1);  // printed in time order
    f.addEvent(4, 2000, at(15, 10, 28, 0), 1, 0.5, 0.5);     // another person's
    f.state.ProgSetting.Roentgen = roentgen;
    f.state.User.CurrentUserKey = 3;
    QVERIFY(f.historyReport.ShowReport("Ivanov Ivan Ivanovich"));
    QCOMPARE(f.captions, QStringList{"Print preview of the history"});
    const Pdf pdf = f.lastPdf();
    QVERIFY2(pdf.a4(), qPrintable(pdf.info));
    QStringList expected{"The history of user:", "Ivanov Ivan Ivanovich",
                         "Date/time Event Value DE value Device №"};
    QCOMPARE(pdf.linesOf(0), expected + rows);
  }

  // Columns at their places; the value column holds the roentgen text.
  void historyPositions() {
    Fixture f;
    f.addEvent(3, 1001, at(15, 10, 20, 30), 7, 0.0005, 0.002);
    f.state.ProgSetting.Roentgen = true;
    f.state.User.CurrentUserKey = 3;
    QVERIFY(f.historyReport.ShowReport("A B C"));
    const Pdf pdf = f.lastPdf();
    const struct {
      const char *word;
      double left;
    } cells[] = {{"Date/time", 14.3}, {"Event", 50.8},  {"Value", 108.7},
                 {"DE", 137.1},       {"15", 14.8},     {"Time", 50.8},
                 {"50.000", 109.0},   {"0.200", 137.6}, {"1001", 168.5}};
    for (const auto &c : cells)
      QVERIFY2(qAbs(pdf.leftOf(c.word) - c.left) < 0.3,
               qPrintable(QString("%1 at %2").arg(c.word).arg(pdf.leftOf(c.word))));
  }

  // A long history: the column titles only under the title of the first
  // page; every event printed once.
  void historyColumnTitlesOnFirstPageOnly() {
    Fixture f;
    for (int i = 0; i < 80; ++i)
      f.addEvent(3, 5000 + i, at(15, 8, i / 60, i % 60), 9, -1.0, 0.1);
    f.state.User.CurrentUserKey = 3;
    QVERIFY(f.historyReport.ShowReport("Petrov Petr"));
    const Pdf pdf = f.lastPdf();
    QCOMPARE(pdf.pageCount(), 3);
    QCOMPARE(pdf.linesOf(0).mid(0, 3), (QStringList{"The history of user:", "Petrov Petr",
                                                    "Date/time Event Value DE value Device №"}));
    QCOMPARE(pdf.linesOf(0).size(), 3 + 34);
    QCOMPARE(pdf.linesOf(1).size(), 39);
    QCOMPARE(pdf.linesOf(2).size(), 7);
    for (int p = 1; p < 3; ++p)
      QVERIFY(!pdf.pages[p].contains("Date/time") && !pdf.pages[p].contains("history of"));
    const QString all = pdf.pages.join(u'\f');
    for (int i = 0; i < 80; ++i)
      QCOMPARE(all.count(QString::number(5000 + i)), 1);
  }

  // The history as the list left it: the rows it was filled from are printed
  // as they are, with the filter that was in force, not selected anew.
  void historyPrintsTheRowsOfTheList() {
    Fixture f;
    f.addEvent(3, 1001, at(15, 10, 0, 0), 1, 0.2, 0.1);
    f.addEvent(3, 1002, at(15, 11, 0, 0), 9, -1.0, 0.1);
    HistoryCriteria batteryOnly;
    batteryOnly.EventTypes = {9};
    const std::optional<QList<StoredEvent>> shown = f.dm.History().UserHistory(3, batteryOnly);
    QVERIFY(shown);
    f.state.User.CurrentUserKey = 99;
    QVERIFY(f.historyReport.ShowReport("X", shown));
    const Pdf pdf = f.lastPdf();
    QVERIFY(pdf.line("1002").contains("Battary off"));
    QVERIFY(pdf.line("1001").isEmpty());
    // A list filled with no rows prints none, whatever is stored now.
    f.state.User.CurrentUserKey = 3;
    QVERIFY(f.historyReport.ShowReport("X", QList<StoredEvent>{}));
    QCOMPARE(f.lastPdf().linesOf(0).size(), 3);
  }

  // No rows: the first page with the titles and column titles only.
  void emptyQueriesPrintTitlesOnly() {
    Fixture f;
    QVERIFY(f.userReport.ShowReport());
    Pdf pdf = f.lastPdf();
    QCOMPARE(pdf.pageCount(), 1);
    QCOMPARE(pdf.linesOf(0),
             (QStringList{"The list of users", "Second name First name Middle name Device №"}));
    f.state.User.CurrentUserKey = 3;
    QVERIFY(f.historyReport.ShowReport("Nobody Yet"));
    pdf = f.lastPdf();
    QCOMPARE(pdf.pageCount(), 1);
    QCOMPARE(pdf.linesOf(0), (QStringList{"The history of user:", "Nobody Yet",
                                          "Date/time Event Value DE value Device №"}));
  }

  // A query that cannot be opened: no preview and no message.
  void unreachableDatabaseShowsNothing() {
    Fixture f;
    f.dm.SetLocation(f.folder.file("missing/dir/db.db"));
    QVERIFY(!f.userReport.ShowReport());
    QVERIFY(!f.historyReport.ShowReport("X"));
    QCOMPARE(f.printed, 0);
    QVERIFY(f.messages.shown.empty());
  }

  // Each print command takes the texts and the unit in force at that moment.
  // Every page ends with the time of printing and "page n of m", in the
  // language of the texts; column titles too long for their room take two
  // lines instead of running into the next title.
  void everyPageCarriesThePrintTimeAndItsNumber() {
    const QDateTime printed(QDate(2025, 6, 30), QTime(15, 5));
    const QString when = QLocale().toString(printed, QLocale::ShortFormat);
    {
      Fixture f;
      f.state.clock = std::make_shared<SettableClock>(printed);
      for (int i = 0; i < 60; ++i)
        f.addUser(i + 1, QString("Second%1").arg(i), "First", "Middle", 100 + i);
      QVERIFY(f.userReport.ShowReport());
      QCOMPARE(f.lastPdf().footers,
               (QStringList{"Printed " + when + " Page 1 of 3", "Printed " + when + " Page 2 of 3",
                            "Printed " + when + " Page 3 of 3"}));
    }
    Fixture f;
    ProgramFolder languages;
    f.state.clock = std::make_shared<SettableClock>(printed);
    f.addEvent(3, 1001, at(15, 10, 0, 0), 8, 0.0005, 0.1);
    f.state.User.CurrentUserKey = 3;
    QVERIFY(f.state.Texts.loadLanguageFile(languages.file("LangR.txt")));
    QVERIFY(f.historyReport.ShowReport("Иванов"));
    Pdf pdf = f.lastPdf();
    QCOMPARE(pdf.footers, QStringList{"Напечатано " + when + " Страница 1 из 1"});
    const QString dose = f.state.Texts.at(20), device = f.state.Texts.at(149);
    QVERIFY2(!pdf.pages[0].contains(dose + device) && !pdf.pages[0].contains(dose + " " + device),
             qPrintable(pdf.pages[0]));
    for (const QString &word : dose.split(u' ') + device.split(u' '))
      QVERIFY2(pdf.pages[0].contains(word), qPrintable(word));
    QVERIFY(f.state.Texts.loadLanguageFile(languages.file("LangES.txt")));
    QVERIFY(f.historyReport.ShowReport("García"));
    QCOMPARE(f.lastPdf().footers, QStringList{"Impreso el " + when + " Página 1 de 1"});
  }

  void textsAndUnitAppliedAtEveryPrint() {
    Fixture f;
    f.addUser(1, "Smith", "Ann", kNull, -1);
    f.addEvent(1, 1001, at(15, 10, 0, 0), 1, 0.0005, 0.1);
    f.state.User.CurrentUserKey = 1;
    QVERIFY(f.userReport.ShowReport());
    QVERIFY(f.historyReport.ShowReport("Smith Ann"));
    QCOMPARE(f.lastPdf().line("1001"),
             QString("15 Mar 2024 10:00:00 Gamma alarm 500.000 uSv/h 1001"));

    f.state.Texts.set(144, "Список пользователей");
    f.state.Texts.set(145, "Users preview");
    f.state.Texts.set(13, "Gamma!");
    f.state.Texts.set(154, "History preview");
    f.state.Texts.set(247, "microR/h");
    f.state.ProgSetting.Roentgen = true;
    QVERIFY(f.userReport.ShowReport());
    QCOMPARE(f.lastPdf().linesOf(0).value(0), QString("Список пользователей"));
    QVERIFY(f.historyReport.ShowReport("Smith Ann"));
    QCOMPARE(f.lastPdf().line("1001"), QString("15 Mar 2024 10:00:00 Gamma! 50.000 mR/h 1001"));
    QCOMPARE(f.captions,
             (QStringList{"Print preview of the users list", "Print preview of the history",
                          "Users preview", "History preview"}));
  }

  // The program's own preview: named after the report, with its caption.
  void realPreviewOpensWithTheCaption() {
    Fixture f;
    f.userReport.SetPreview(ShowPrintPreview);
    QString title;
    int pages = 0;
    QTimer::singleShot(0, [&] {
      for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *d = qobject_cast<QPrintPreviewDialog *>(w); d && d->isVisible()) {
          title = d->objectName() + ": " + d->windowTitle();
          if (auto *view = d->findChild<QPrintPreviewWidget *>())
            pages = view->pageCount();
          d->reject();
        }
    });
    QVERIFY(f.userReport.ShowReport());
    QCOMPARE(title, QString("QRPrintUser: Print preview of the users list"));
    QCOMPARE(pages, 1);
  }

  void eventTimeText_data() {
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("text");
    QTest::newRow("date and time") << QVariant(at(15, 23, 59, 59)) << "15 Mar 2024 23:59:59";
    QTest::newRow("midnight") << QVariant(at(15, 0, 0, 0)) << "15 Mar 2024";
    QTest::newRow("NULL") << kNull << "";
    QTest::newRow("not a date") << QVariant(1e12) << "";
    QTest::newRow("text") << QVariant("yesterday") << "";
  }
  void eventTimeText() {
    QFETCH(QVariant, stored);
    QFETCH(QString, text);
    QCOMPARE(TFormPrintHistory::EventTimeText(stored), text);
  }
};

QTEST_MAIN(TestReports)
#include "tst_reports.moc"
