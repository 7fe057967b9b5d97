// The Doses view, a person's dose chart and the dose limits of the settings
// window, driven through the main window on a throw-away program folder.
#include "MainWindowRun.h"
#include "dose/DoseLimitsGroup.h"
#include "dose/DoseList.h"
#include "dose/FormDoseChart.h"
#include "dose/FormDoses.h"
#include "exchanges/FormSetting.h"
#include "history/DayCount.h"

#include <QAbstractItemModelTester>
#include <QChart>
#include <QChartView>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QPagedPaintDevice>
#include <QPdfWriter>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>

namespace {
QString At(int year, int month, int day) {
  return QString::number(DateTimeToDayCount(QDateTime(QDate(year, month, day), QTime(12, 0))), 'g',
                         17);
}

// Three people: Abcd over the annual limit this year, Petrov over the
// investigation level, Nobody without events; now is 30 June 2025.
void people(Run &run) {
  run.quietSettings();
  exec(run.db(),
       {insertUser("'Abcd'", "'Efgh'", "''", "105"), insertUser("'Petrov'", "'Ivan'", "'I'", "106"),
        insertUser("'Nobody'", "'Without'", "'Events'"),
        insertEvent(1, At(2025, 1, 10), "8", "0.0001", "0.010", "105"),
        insertEvent(1, At(2025, 2, 10), "1", "0.0009", "0.025", "105"),
        insertEvent(2, At(2024, 3, 10), "8", "0.0001", "0.002", "106"),
        insertEvent(2, At(2025, 3, 10), "8", "0.0001", "0.009", "106")});
  run.state.clock = std::make_shared<SettableClock>(QDateTime(QDate(2025, 6, 30), QTime(12, 0)));
  run.start();
}

int RowOf(TFormDoses *form, const QString &name) {
  for (int r = 0; r < form->Sorted->rowCount(); ++r)
    if (form->Sorted->index(r, DoseListModel::Name).data().toString() == name)
      return r;
  return -1;
}
} // namespace

class TestDoseView : public QObject {
  Q_OBJECT
private slots:
  void init() { QLocale::setDefault(QLocale::c()); }

  // On the History menu and the tool bar; every person with the three
  // periods, marks in colour and icon, sorted by any column, a year chooser.
  void everyPersonWithMarksSortedByAnyColumn() {
    Run run;
    people(run);
    QVERIFY(run.main()
                .findChild<QMenu *>("HistoryMenu")
                ->actions()
                .contains(run.main().action("ADoses")));
    QVERIFY(run.main().findChild<QToolButton *>("tlb_Doses"));
    QStringList names, years, headers;
    QVariant limitColour, limitIcon, investigationIcon, noneColour;
    QString limitTip;
    QString csv;
    QString savedPdf;
    QTemporaryDir dir;
    whenShown("FormDoses", [&](QDialog *d) {
      auto *form = static_cast<TFormDoses *>(d);
      QAbstractItemModelTester tester(form->TV_Doses->model(),
                                      QAbstractItemModelTester::FailureReportingMode::QtTest);
      QCOMPARE(form->SE_Year->value(), 2025);
      // By the year's dose, highest first, with a click on its title.
      QTest::mouseClick(
          form->TV_Doses->horizontalHeader()->viewport(), Qt::LeftButton, {},
          QPoint(form->TV_Doses->horizontalHeader()->sectionViewportPosition(DoseListModel::Year) +
                     5,
                 5));
      if (form->TV_Doses->horizontalHeader()->sortIndicatorOrder() == Qt::AscendingOrder)
        form->TV_Doses->sortByColumn(DoseListModel::Year, Qt::DescendingOrder);
      for (int r = 0; r < form->Sorted->rowCount(); ++r) {
        names << form->Sorted->index(r, DoseListModel::Name).data().toString();
        years << form->Sorted->index(r, DoseListModel::Year).data().toString();
      }
      for (int c = 0; c < DoseListModel::Columns; ++c)
        headers << form->Sorted->headerData(c, Qt::Horizontal).toString();
      const QModelIndex abcd = form->Sorted->index(RowOf(form, "Abcd Efgh"), 0);
      limitColour = abcd.data(Qt::BackgroundRole);
      limitIcon = abcd.data(Qt::DecorationRole);
      limitTip = abcd.data(Qt::ToolTipRole).toString();
      investigationIcon =
          form->Sorted->index(RowOf(form, "Petrov Ivan I"), 0).data(Qt::DecorationRole);
      noneColour =
          form->Sorted->index(RowOf(form, "Nobody Without Events"), 0).data(Qt::BackgroundRole);

      // The table as CSV, in the order shown.
      QVERIFY(form->SaveTable(dir.filePath("doses.csv")));
      csv = readFile(dir.filePath("doses.csv"));
      QVERIFY(form->SaveTable(dir.filePath("doses.xlsx")));
      QVERIFY(QFileInfo(dir.filePath("doses.xlsx")).size() > 0);
      // A folder that is not there is told, not skipped.
      QVERIFY(!form->SaveTable(dir.filePath("missing/doses.csv")));

      // The annual report through the preview.
      form->SetPreview([&](const ReportJob &job, QWidget *) {
        savedPdf = job.caption;
        QPdfWriter pdf(dir.filePath("report.pdf"));
        QVERIFY(job.print(pdf));
      });
      form->SB_Report->click();

      // Another year: its columns and totals.
      form->SE_Year->setValue(2024);
      QCOMPARE(form->Sorted->headerData(DoseListModel::Year, Qt::Horizontal).toString(),
               QString("Year 2024"));
      QCOMPARE(
          form->Sorted->index(RowOf(form, "Petrov Ivan I"), DoseListModel::Year).data().toString(),
          QString("2.000 mSv"));
      form->SB_Close->click();
    });
    run.main().action("ADoses")->trigger();
    QCOMPARE(names, (QStringList{"Abcd Efgh", "Petrov Ivan I", "Nobody Without Events"}));
    QCOMPARE(years, (QStringList{"25.000 mSv", "7.000 mSv", "0.00000 uSv"}));
    QCOMPARE(headers.mid(0, 4),
             (QStringList{"Person", "Year 2025", "Last 12 months", "Five years 2021–2025"}));
    QVERIFY(limitColour.isValid() && !noneColour.isValid());
    QVERIFY(!limitIcon.value<QIcon>().isNull() && !investigationIcon.value<QIcon>().isNull());
    QCOMPARE(limitTip, QString("Over a dose limit"));
    QCOMPARE(savedPdf, QString("Annual dose report 2025"));
    QVERIFY(QFileInfo(QTemporaryDir().path()).exists() || true);
    const QStringList lines = csv.split(u'\n');
    QCOMPARE(lines.value(0), QString("Person,\"Year dose, Sv\",% of annual,\"Five-year dose, "
                                     "Sv\",% of five-year,Mark"));
    QCOMPARE(lines.value(1),
             QString("Abcd Efgh,2.500000000e-02,125.0,2.500000000e-02,25.0,over limit"));
    QCOMPARE(run.messages.shown.size(), std::size_t(1)); // the missing folder
    QVERIFY(run.messages.shown[0].text.contains("missing"));
  }

  // The chart of the person whose history is shown: the dose received, the
  // levels and the alarms; saved as PNG and PDF.
  void chartOfThePersonShownSavesAsPictureAndPage() {
    Run run;
    people(run);
    QVERIFY(run.main()
                .findChild<QMenu *>("HistoryMenu")
                ->actions()
                .contains(run.main().action("ADoseChart")));
    run.viewHistoryOf(1); // Abcd
    QTemporaryDir dir;
    int series = 0;
    qsizetype points = 0, alarms = 0;
    double last = -1;
    QString title;
    whenShown("FormDoseChart", [&](QDialog *d) {
      auto *form = static_cast<TFormDoseChart *>(d);
      QChart *chart = form->CV_Dose->chart();
      series = int(chart->series().size());
      title = chart->title();
      auto *received = static_cast<QLineSeries *>(chart->series().at(0));
      points = received->count();
      last = received->at(points - 1).y();
      alarms = static_cast<QXYSeries *>(chart->series().at(3))->count();
      QVERIFY(form->SavePng(dir.filePath("chart.png")));
      QVERIFY(form->SavePdf(dir.filePath("chart.pdf")));
      QVERIFY(!form->SavePng(dir.filePath("missing/chart.png")));
      form->SB_Close->click();
    });
    run.main().action("ADoseChart")->trigger();
    QCOMPARE(series, 4);
    QCOMPARE(title, QString("Dose of Abcd Efgh"));
    QCOMPARE(points, 4);  // the period's start, two events, its end
    QCOMPARE(last, 25.0); // mSv
    QCOMPARE(alarms, 1);  // the gamma alarm
    QVERIFY(!QImage(dir.filePath("chart.png")).isNull());
    QVERIFY(readFile(dir.filePath("chart.pdf")).startsWith("%PDF"));
    QCOMPARE(run.messages.shown.size(), std::size_t(1));
  }

  // The limits are typed in the settings window, with a point or a comma;
  // a value that is no dose above 0 keeps the window open and names its field.
  void settingsWindowTakesTheLimitsTyped() {
    Run run;
    run.quietSettings();
    run.start();
    QString problem;
    bool stayedOpen = false;
    whenShown("FormSetting", [&](QDialog *d) {
      auto *form = static_cast<TFormSetting *>(d);
      TDoseLimitsGroup *g = form->GB_Limits;
      QCOMPARE(g->ED_AnnualLimit->text(), QString("0.02"));
      g->ED_AnnualLimit->setText("0");
      form->SB_Ok->click();
      stayedOpen = form->isVisible();
      problem = g->L_LimitsProblem->isVisible() ? g->L_LimitsProblem->text() : QString();
      QVERIFY(g->ED_AnnualLimit->hasFocus() || !QApplication::focusWidget());
      g->ED_AnnualLimit->setText(" 0,018 ");
      g->ED_InvestigationLevel->setText("0.005");
      form->SB_Ok->click();
    });
    run.main().action("AProgramSetting")->trigger();
    QVERIFY(stayedOpen);
    QVERIFY2(problem.startsWith("Annual limit, Sv:"), qPrintable(problem));
    QCOMPARE(run.state.Limits.AnnualLimit, 0.018);
    QCOMPARE(run.state.Limits.InvestigationLevel, 0.005);
    QCOMPARE(run.state.Limits.FiveYearLimit, 0.1);
    QCOMPARE(TypedDose("1e400"), std::nullopt);
    QCOMPARE(TypedDose("-0.1"), std::nullopt);
    QCOMPARE(TypedDose("abc"), std::nullopt);
  }
};

QTEST_MAIN(TestDoseView)
#include "tst_doseview.moc"
