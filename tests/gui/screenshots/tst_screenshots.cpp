// Opens every window of the program the way the operator does, with a small
// register and an instrument simulator in range, and saves a picture of each
// into $VX_SHOTS (default: the current folder). Run it on a real display or
// under Xvfb through scripts/screenshots.sh and look at the pictures.
#include "MainWindowRun.h"
#include "SimulatorProcess.h"
#include "common/OperatorMessages.h"
#include "dose/FormDoses.h"
#include "exchanges/FormParams.h"
#include "exchanges/FormRead.h"
#include "exchanges/FormReg.h"
#include "history/FormViewHist.h"
#include "link/VirtualIrdaStack.h"
#include "main/Program.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QPdfWriter>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>

namespace {

QString shotPath(const QString &name) {
  const QString dir = qEnvironmentVariable("VX_SHOTS", QDir::currentPath());
  QDir().mkpath(dir);
  return QDir(dir).filePath(name + ".png");
}

void save(QWidget *w, const QString &name) {
  QTest::qWait(400);
  QVERIFY(w->grab().save(shotPath(name)));
}

} // namespace

class TestScreenshots : public QObject {
  Q_OBJECT
private slots:
  void everyWindow();
  void exchangeAndParametersInEachLanguage();
};

namespace {
// Saves the first modal dialog that shows after `trigger` and closes it.
void onDialog(const QString &shot, std::function<void()> trigger) {
  bool done = false;
  std::function<void()> poll;
  QDeadlineTimer deadline(20000);
  poll = [&] {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (auto *d = qobject_cast<QDialog *>(w); d && d->isVisible() && d->isModal()) {
        save(d, shot);
        d->reject();
        done = true;
        return;
      }
    if (!deadline.hasExpired())
      QTimer::singleShot(50, poll);
  };
  QTimer::singleShot(50, poll);
  trigger();
  QTRY_VERIFY_WITH_TIMEOUT(done, 25000);
}
} // namespace

void TestScreenshots::everyWindow() {
  Run run;
  const QString stateFile = run.folder.file("instrument.json");
  SimulatorProcess simulator{
      QStringList{"--state", stateFile, "--number", "4418123", "--events", "30"}};
  qputenv("VX4418_IRDA_DEVICES", simulator.endpoint());
  VirtualIrdaConfig config;
  config.LibraryFolder = VX_BIN_DIR;
  run.state.Irda = std::make_shared<IrdaTransport>(std::make_unique<VirtualIrdaStack>(config));
  run.quietSettings();
  exec(run.db(),
       {insertUser("'Иванова'", "'Мария'", "'Петровна'", "4418123"),
        insertUser("'Smith'", "'John'", "NULL", "4418007"), insertUser("'García'", "'Lucía'", "''"),
        insertEvent(1, "45731.5", "3", "0.0000012", "0.00021"),
        insertEvent(1, "45731.6", "17", "0.0000034", "0.00025"),
        insertEvent(1, "45732.25", "5", "NULL", "0.00031"),
        // Doses of 2025: Иванова over the investigation level, Smith over the annual limit.
        insertEvent(1, "45700.5", "8", "0.0001", "0.001", "4418123"),
        insertEvent(1, "45760.5", "1", "0.0009", "0.004", "4418123"),
        insertEvent(1, "45800.5", "8", "0.0001", "0.0085", "4418123"),
        insertEvent(2, "45690.5", "8", "0.0001", "0.006", "4418007"),
        insertEvent(2, "45780.5", "1", "0.0012", "0.023", "4418007")});
  run.state.clock = std::make_shared<SettableClock>(QDateTime(QDate(2025, 6, 30), QTime(15, 0)));
  run.start();
  TMainForm &m = run.main();
  m.resize(1000, 640);
  run.ctx.FormRead->AttemptIntervalMs = 300;
  save(&m, "01-main-users");
  onDialog("02-user-editor", [&] { m.action("AddUser")->trigger(); });
  onDialog("03-filter", [&] { m.action("AFilterHistory")->trigger(); });
  onDialog("04-print-users-preview", [&] { m.action("APrintUser")->trigger(); });
  onDialog("05-exchange-read", [&] { m.action("AReadHistory")->trigger(); });
  onDialog("06-parameters", [&] { m.action("ADevice")->trigger(); });
  run.viewHistoryOf(1);
  save(&m, "07-main-history");
  onDialog("08-delete-history", [&] { m.action("ADeleteHistory")->trigger(); });
  onDialog("09-print-history-preview", [&] { m.action("APrintHistory")->trigger(); });
  // The two windows a reading of an unregistered instrument leads to.
  onDialog("10-registration-options", [&] { run.ctx.FormReg->open(); });
  TFormViewHist &view = *run.ctx.FormViewHist;
  const std::vector<std::uint8_t> &history = run.ctx.FormRead->Result().History;
  view.FillHistory(history.data(), int(history.size()), run.state.RegState);
  onDialog("11-read-history", [&] { view.open(); });
  onDialog("12-journal", [&] { m.action("AJournal")->trigger(); });
  onDialog("13-settings", [&] { m.action("AProgramSetting")->trigger(); });

  // The doses of the year, a chart and the annual report, in each language.
  for (const char *language : {"EnglLang", "RussianLang", "SpanishLang"}) {
    const QString l = QString::fromLatin1(language).left(2).toLower();
    m.action(language)->trigger();
    onDialog("14-doses-" + l, [&] { m.action("ADoses")->trigger(); });
    run.viewHistoryOf(1);
    onDialog("15-dose-chart-" + l, [&] { m.action("ADoseChart")->trigger(); });
    // The report's first page, through a PDF.
    const QString pdf = QDir(qEnvironmentVariable("VX_SHOTS", QDir::currentPath()))
                            .filePath("16-annual-report-" + l + ".pdf");
    run.ctx.FormDoses->SetPreview([&](const ReportJob &job, QWidget *) {
      QPdfWriter writer(pdf);
      job.print(writer);
    });
    QTimer::singleShot(300, [&] {
      run.ctx.FormDoses->SB_Report->click();
      run.ctx.FormDoses->reject();
    });
    m.action("ADoses")->trigger();
    QProcess::execute("pdftoppm", {"-png", "-r", "60", "-singlefile", pdf, pdf.chopped(4)});
  }
}

// The exchange window after failed attempts, the parameters window with a
// typed threshold, and a question with the toolkit's standard buttons, in
// each of the three languages.
void TestScreenshots::exchangeAndParametersInEachLanguage() {
  for (const char *language : {"EnglLang", "RussianLang", "SpanishLang"}) {
    Run run;
    SimulatorProcess simulator{QStringList{"--number", "4418123", "--events", "30", "--block-size",
                                           "100", "--drop-after", "2"}};
    qputenv("VX4418_IRDA_DEVICES", simulator.endpoint());
    VirtualIrdaConfig config;
    config.LibraryFolder = VX_BIN_DIR;
    run.state.Irda = std::make_shared<IrdaTransport>(std::make_unique<VirtualIrdaStack>(config));
    run.quietSettings();
    exec(run.db(), {insertUser("'Иванова-Сокольская'", "'Мария'", "'Петровна'", "4418123"),
                    insertEvent(1, "45731.5", "3", "0.0000012", "0.00021", "4418123"),
                    insertEvent(1, "45731.25", "17", "0.0000034", "0.00025", "4418123"),
                    insertEvent(1, "45732.25", "5", "NULL", "0.00031", "4418123"),
                    insertEvent(1, "45733.75", "6", "NULL", "0.00032", "4418123")});
    run.start();
    TMainForm &m = run.main();
    m.action(language)->trigger();
    const QString tag = QString::fromLatin1(language).chopped(4).toLower();

    TFormRead &exchange = *run.ctx.FormRead;
    exchange.AttemptIntervalMs = 1500;
    bool shot = false;
    QTimer::singleShot(0, &exchange, [&] {
      QTRY_VERIFY_WITH_TIMEOUT(exchange.Attempts() >= 2 && !exchange.StatusPanel(0).isEmpty(),
                               20000);
      save(&exchange, "20-exchange-failed-" + tag);
      shot = true;
      exchange.reject();
    });
    m.action("AReadHistory")->trigger();
    QVERIFY(shot);

    DEVICE_PARAMS read;
    read.DeviceId = 4418123;
    read.DerThreshold = 0.0025f;
    read.DeThreshold = 0.05f;
    read.HistoryInterval = 60;
    read.UnitSievert = true;
    read.Brightness = 9;
    run.state.LastReadParams = read;
    onDialog("21-parameters-typed-" + tag, [&] {
      QTimer::singleShot(0, [&] {
        auto *tabs = run.ctx.FormParams->findChild<QTabWidget *>("PageControlParams");
        tabs->setCurrentIndex(1);
        auto *der = run.ctx.FormParams->findChild<QLineEdit *>("Ed_ThresholdDER");
        der->selectAll();
        QTest::keyClicks(der, "0.020");
      });
      m.action("ADevice")->trigger();
    });
    MessageBoxMessages boxes;
    const TextTable &t = run.state.Texts;
    onDialog("22-question-" + tag,
             [&] { boxes.question(&m, t.text(ProgramText::ParamOutOfRange).arg("DE", "1", "2")); });
    onDialog("23-delete-question-" + tag, [&] {
      boxes.destructiveQuestion(
          &m, t.text(ProgramText::DeleteHistoryQuestion).arg(4).arg("Иванова-Сокольская Мария"));
    });
    onDialog("24-import-summary-" + tag, [&] {
      boxes.notice(&m, t.text(ProgramText::ImportSummary).arg(3).arg(1).arg(120).arg(14));
    });
    onDialog("25-user-editor-" + tag, [&] { m.action("AddUser")->trigger(); });
    // The history in time order, at the main window's smallest size.
    m.resize(m.minimumSize());
    run.viewHistoryOf(0);
    save(&m, "26-main-history-narrow-" + tag);
    onDialog("27-print-history-preview-" + tag, [&] { m.action("APrintHistory")->trigger(); });
  }
}

// The program's own application object, so the windows get its pictures.
int main(int argc, char **argv) {
  VxApplication app(argc, argv);
  TestScreenshots test;
  return QTest::qExec(&test, argc, argv);
}
#include "tst_screenshots.moc"
