#include "dose/FormDoses.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include "common/AppContext.h"
#include "common/FileDialogs.h"
#include "common/OperatorMessages.h"
#include "db/TDM.h"
#include "dose/DoseList.h"
#include "dose/FormDoseChart.h"
#include "export/Csv.h"
#include "export/OfficeExport.h"
#include "export/SaveWhole.h"
#include "export/TextExport.h"
#include "history/DoseFormat.h"
#include "lang/FileDialogFilter.h"

namespace {
// The report's columns, left edges in millimetres of the page body.
constexpr double kColumns[] = {1, 58, 86, 108, 136, 160};
} // namespace

TFormDoses::TFormDoses(AppContext &ctx, QWidget *parent)
    : TReportWindow(ctx, QStringLiteral("FormDoses"), parent) {
  setModal(true);
  auto named = [](auto *w, const char *name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
  };
  L_Year = named(new QLabel(this), "L_Year");
  SE_Year = named(new QSpinBox(this), "SE_Year");
  SE_Year->setRange(1990, 2200);
  L_Year->setBuddy(SE_Year);
  connect(SE_Year, &QSpinBox::valueChanged, this, [this](int year) { Fill(year); });

  Rows = new DoseListModel(this);
  Sorted = new QSortFilterProxyModel(this);
  Sorted->setSourceModel(Rows);
  Sorted->setSortRole(DoseListModel::SortRole);
  TV_Doses = named(new QTableView(this), "TV_Doses");
  TV_Doses->setModel(Sorted);
  TV_Doses->setSortingEnabled(true);
  TV_Doses->sortByColumn(DoseListModel::Name, Qt::AscendingOrder);
  TV_Doses->setSelectionBehavior(QAbstractItemView::SelectRows);
  TV_Doses->setSelectionMode(QAbstractItemView::SingleSelection);
  TV_Doses->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TV_Doses->verticalHeader()->hide();
  TV_Doses->horizontalHeader()->setStretchLastSection(true);
  connect(TV_Doses, &QTableView::doubleClicked, this, [this] { ShowChart(); });

  // The marks' legend: the icon and the colour of each, as the rows show them.
  auto *marks = new QHBoxLayout;
  auto legend = [&](const char *name, QStyle::StandardPixmap icon) {
    auto *picture = new QLabel(this);
    picture->setPixmap(style()->standardIcon(icon).pixmap(16, 16));
    QLabel *l = named(new QLabel(this), name);
    l->setTextFormat(Qt::RichText);
    marks->addWidget(picture);
    marks->addWidget(l);
    marks->addSpacing(8);
    return l;
  };
  L_Investigation = legend("L_Investigation", QStyle::SP_MessageBoxWarning);
  L_Limit = legend("L_Limit", QStyle::SP_MessageBoxCritical);

  SB_Chart = named(new QPushButton(this), "SB_Chart");
  SB_Report = named(new QPushButton(this), "SB_Report");
  SB_SaveTable = named(new QPushButton(this), "SB_SaveTable");
  SB_Close = named(new QPushButton(this), "SB_Close");
  SB_Close->setDefault(true);
  connect(SB_Chart, &QPushButton::clicked, this, &TFormDoses::ShowChart);
  connect(SB_Report, &QPushButton::clicked, this, &TFormDoses::PrintReport);
  connect(SB_SaveTable, &QPushButton::clicked, this, [this] {
    const TextTable &t = ctx_.state.Texts;
    const QString path = ctx_.files.saveFile(
        this, t.text(ProgramText::DosesSaveTable), QString(),
        t.text(ProgramText::WorkbookFilter) + QStringLiteral(";;") + t.text(ProgramText::CsvFilter),
        QStringLiteral("xlsx"));
    if (!path.isEmpty())
      SaveTable(path);
  });
  connect(SB_Close, &QPushButton::clicked, this, &QDialog::accept);

  auto *top = new QHBoxLayout;
  top->addWidget(L_Year);
  top->addWidget(SE_Year);
  top->addSpacing(16);
  top->addLayout(marks);
  top->addStretch();
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(SB_Chart);
  buttons->addWidget(SB_Report);
  buttons->addWidget(SB_SaveTable);
  buttons->addStretch();
  buttons->addWidget(SB_Close);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(TV_Doses, 1);
  layout->addLayout(buttons);
  resize(900, 500);

  report_.Title = {"TitleBand1",
                   16,
                   {{"QRL_Title", 0, 0, 12, true, true}, {"QRL_Limits", 1, 8, 8, false, false}},
                   {}};
  std::vector<ReportText> titles, fields;
  for (int i = 0; i < 6; ++i) {
    titles.push_back({QStringLiteral("QRL_Column%1").arg(i), kColumns[i], -1, 8, true});
    fields.push_back({QStringLiteral("QT_Column%1").arg(i), kColumns[i], -1, 9});
  }
  report_.ColumnTitles = {"QRBand1", 9, titles, {}};
  report_.ColumnTitlesOnEveryPage = true;
  report_.Detail.name = "QRSubDetailDoses";
  report_.Detail.height = 7;
  report_.Detail.fields = fields;
}

void TFormDoses::ApplyTexts() {
  const TextTable &t = ctx_.state.Texts;
  setWindowTitle(t.text(ProgramText::DosesTitle));
  L_Year->setText(t.text(ProgramText::DosesYear));
  for (QLabel *l : {L_Investigation, L_Limit}) {
    const bool limit = l == L_Limit;
    const QString colour = limit ? QStringLiteral("#f4b4b4") : QStringLiteral("#fbe39c");
    l->setText(
        QStringLiteral("<span style=\"background-color:%1\">&nbsp;&nbsp;&nbsp;&nbsp;</span> %2")
            .arg(colour, DoseListModel::MarkText(
                             limit ? DoseMark::OverLimit : DoseMark::OverInvestigationLevel, t)
                             .toHtmlEscaped()));
  }
  SB_Chart->setText(t.text(ProgramText::DosesChart));
  SB_Report->setText(t.text(ProgramText::DosesReport));
  SB_SaveTable->setText(t.text(ProgramText::DosesSaveTable));
  SB_Close->setText(t.text(ProgramText::JournalClose));
}

bool TFormDoses::ShowDoses() {
  ApplyTexts();
  const int year = ctx_.state.clock->now().date().year();
  bool filled;
  {
    const QSignalBlocker block(SE_Year);
    SE_Year->setValue(year);
    filled = Fill(year);
  }
  if (!filled)
    return false;
  exec();
  return true;
}

bool TFormDoses::Fill(int year) {
  const TextTable &t = ctx_.state.Texts;
  DoseTable table;
  if (ctx_.DM)
    table = WorkOutDoseTable(*ctx_.DM, year, ctx_.state.clock->now(), ctx_.state.Limits);
  if (!table.ok) {
    ctx_.messages.error(this, t.text(ProgramText::DosesUnreadable).arg(table.error));
    return false;
  }
  Rows->Fill(std::move(table.rows), year, t, ctx_.state.ProgSetting.Roentgen);
  TV_Doses->resizeColumnsToContents();
  // Wide enough for every column, as far as the screen allows.
  int needed = 2 * TV_Doses->frameWidth() + TV_Doses->verticalScrollBar()->sizeHint().width() + 24;
  for (int c = 0; c < DoseListModel::Columns; ++c)
    needed += TV_Doses->columnWidth(c);
  const int room = screen() ? screen()->availableGeometry().width() - 40 : needed;
  if (width() < needed)
    resize(std::min(needed, room), height());
  if (Sorted->rowCount() > 0)
    TV_Doses->selectRow(0);
  const bool any = Rows->rowCount() > 0;
  SB_Chart->setEnabled(any);
  return true;
}

void TFormDoses::ShowChart() {
  const QModelIndex current = Sorted->mapToSource(TV_Doses->currentIndex());
  if (!current.isValid() || !ctx_.FormDoseChart)
    return;
  ctx_.FormDoseChart->ShowChart(Rows->Rows().at(current.row()).person, SE_Year->value());
}

AnnualReportTable TFormDoses::Table(ReportValues values) const {
  // In the order the view is sorted.
  QList<PersonDose> rows;
  for (int r = 0; r < Sorted->rowCount(); ++r)
    rows.append(Rows->Rows().at(Sorted->mapToSource(Sorted->index(r, 0)).row()));
  return AnnualReportOf(rows, ctx_.state.Limits, ctx_.state.Texts, ctx_.state.ProgSetting.Roentgen,
                        values);
}

void TFormDoses::PrintReport() {
  const TextTable &t = ctx_.state.Texts;
  const bool roentgen = ctx_.state.ProgSetting.Roentgen;
  const DoseLimits &l = ctx_.state.Limits;
  auto table = std::make_shared<AnnualReportTable>(Table(ReportValues::Shown));
  const QString title = t.text(ProgramText::ReportTitle).arg(SE_Year->value());
  *report_.Title.Value("QRL_Title") = title;
  *report_.Title.Value("QRL_Limits") =
      t.text(ProgramText::ReportLimits)
          .arg(FormatDose(l.InvestigationLevel, roentgen, false, t),
               FormatDose(l.AnnualLimit, roentgen, false, t),
               FormatDose(l.FiveYearLimit, roentgen, false, t),
               QLocale().toString(ctx_.state.clock->now(), QLocale::ShortFormat));
  for (int i = 0; i < 6; ++i)
    *report_.ColumnTitles.Value(QStringLiteral("QRL_Column%1").arg(i)) = table->titles.value(i);
  report_.Detail.rows = int(table->rows.size());
  report_.Detail.text = [table](int row, int field) { return table->rows.at(row).value(field); };
  Present(title, QStringLiteral("QRAnnualDoses"));
}

bool TFormDoses::SaveTable(const QString &path) {
  const AnnualReportTable table = Table(ReportValues::Sievert);
  QList<QStringList> all{table.titles};
  all.append(table.rows);
  QString error;
  bool ok;
  if (path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) {
    ok = SaveTextFile(path, CsvText(all), &error);
  } else {
    const GridText grid{int(table.titles.size()),
                        [&all](int column, int row) { return all.value(row).value(column); }};
    ok = WriteXlsxCells(path, grid, 0, int(all.size()) - 1, &error);
  }
  if (!ok)
    ctx_.messages.error(this, FileNotWrittenText(ctx_.state.Texts, path, error));
  return ok;
}
