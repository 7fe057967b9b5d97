#include "dose/FormDoseChart.h"

#include <QChart>
#include <QChartView>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QLabel>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

#include "common/AppContext.h"
#include "common/FileDialogs.h"
#include "common/OperatorMessages.h"
#include "db/TDM.h"
#include "dose/DoseChart.h"
#include "dose/DoseTable.h"
#include "export/SaveWhole.h"
#include "history/DayCount.h"

TFormDoseChart::TFormDoseChart(AppContext &ctx, QWidget *parent) : QDialog(parent), ctx_(ctx) {
  setObjectName(QStringLiteral("FormDoseChart"));
  setModal(true);
  auto named = [](auto *w, const char *name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
  };
  L_From = named(new QLabel(this), "L_From");
  DE_From = named(new QDateEdit(this), "DE_From");
  L_To = named(new QLabel(this), "L_To");
  DE_To = named(new QDateEdit(this), "DE_To");
  for (QDateEdit *d : {DE_From, DE_To}) {
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    connect(d, &QDateEdit::dateChanged, this, [this] { Redraw(); });
  }
  L_From->setBuddy(DE_From);
  L_To->setBuddy(DE_To);
  CV_Dose = named(new QChartView(this), "CV_Dose");
  CV_Dose->setRenderHint(QPainter::Antialiasing, false);
  CV_Dose->setMinimumSize(640, 360);
  SB_SavePng = named(new QPushButton(this), "SB_SavePng");
  SB_SavePdf = named(new QPushButton(this), "SB_SavePdf");
  SB_Close = named(new QPushButton(this), "SB_Close");
  SB_Close->setDefault(true);
  const TextTable &t = ctx_.state.Texts;
  connect(SB_SavePng, &QPushButton::clicked, this, [this, &t] {
    const QString path = ctx_.files.saveFile(this, t.text(ProgramText::ChartSavePng), QString(),
                                             QStringLiteral("PNG (*.png)"), QStringLiteral("png"));
    if (!path.isEmpty())
      SavePng(path);
  });
  connect(SB_SavePdf, &QPushButton::clicked, this, [this, &t] {
    const QString path = ctx_.files.saveFile(this, t.text(ProgramText::ChartSavePdf), QString(),
                                             QStringLiteral("PDF (*.pdf)"), QStringLiteral("pdf"));
    if (!path.isEmpty())
      SavePdf(path);
  });
  connect(SB_Close, &QPushButton::clicked, this, &QDialog::accept);

  auto *period = new QHBoxLayout;
  period->addWidget(L_From);
  period->addWidget(DE_From);
  period->addSpacing(12);
  period->addWidget(L_To);
  period->addWidget(DE_To);
  period->addStretch();
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(SB_SavePng);
  buttons->addWidget(SB_SavePdf);
  buttons->addStretch();
  buttons->addWidget(SB_Close);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(period);
  layout->addWidget(CV_Dose, 1);
  layout->addLayout(buttons);
  resize(860, 560);
}

void TFormDoseChart::ApplyTexts() {
  const TextTable &t = ctx_.state.Texts;
  setWindowTitle(t.text(ProgramText::ChartTitle).arg(PersonName(person_)));
  L_From->setText(t.text(ProgramText::ChartFrom));
  L_To->setText(t.text(ProgramText::ChartTo));
  SB_SavePng->setText(t.text(ProgramText::ChartSavePng));
  SB_SavePdf->setText(t.text(ProgramText::ChartSavePdf));
  SB_Close->setText(t.text(ProgramText::JournalClose));
}

bool TFormDoseChart::ShowChart(const Person &person, int year) {
  person_ = person;
  ApplyTexts();
  {
    const QSignalBlocker a(DE_From), b(DE_To);
    DE_From->setDate(QDate(year, 1, 1));
    DE_To->setDate(QDate(year, 12, 31));
  }
  if (!Redraw())
    return false;
  exec();
  return true;
}

bool TFormDoseChart::Redraw() {
  QDate from = DE_From->date(), to = DE_To->date();
  if (to < from)
    std::swap(from, to);
  // Both days whole.
  const DosePeriod period{DateTimeToDayCount(QDateTime(from, QTime(0, 0))),
                          DateTimeToDayCount(QDateTime(to.addDays(1), QTime(0, 0)))};
  const std::optional<DoseCurve> curve =
      ctx_.DM ? PersonDoseCurve(ctx_.DM->History(), person_.UserId, period) : std::nullopt;
  const TextTable &t = ctx_.state.Texts;
  if (!curve) {
    ctx_.messages.error(
        this, t.text(ProgramText::DosesUnreadable).arg(ctx_.DM ? ctx_.DM->LastError() : QString()));
    return false;
  }
  QChart *old = CV_Dose->chart();
  CV_Dose->setChart(BuildDoseChart(*curve, period, ctx_.state.Limits, t,
                                   ctx_.state.ProgSetting.Roentgen, PersonName(person_)));
  delete old;
  return true;
}

void TFormDoseChart::Saved(bool ok, const QString &path, const QString &error) {
  if (!ok)
    ctx_.messages.error(this, FileNotWrittenText(ctx_.state.Texts, path, error));
}

bool TFormDoseChart::SavePng(const QString &path) {
  QSaveFile file(path);
  bool ok = file.open(QIODevice::WriteOnly);
  QString error = file.errorString();
  if (ok) {
    QImageWriter writer(&file, "png");
    ok = writer.write(CV_Dose->grab().toImage());
    error = writer.errorString();
    ok = ok && file.commit();
    if (!ok && error.isEmpty())
      error = file.errorString();
  }
  Saved(ok, path, error);
  return ok;
}

bool TFormDoseChart::SavePdf(const QString &path) {
  QSaveFile file(path);
  bool ok = file.open(QIODevice::WriteOnly);
  QString error = file.errorString();
  if (ok) {
    {
      QPdfWriter pdf(&file);
      pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                    QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
      pdf.setResolution(150);
      QPainter painter;
      ok = painter.begin(&pdf);
      if (ok)
        CV_Dose->render(&painter, QRectF(QPointF(0, 0), QSizeF(pdf.width(), pdf.height())));
    }
    ok = ok && file.commit();
    error = file.errorString();
  }
  Saved(ok, path, error);
  return ok;
}
