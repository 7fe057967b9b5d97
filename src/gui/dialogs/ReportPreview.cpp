#include "dialogs/ReportPreview.h"

#include "common/AppContext.h"
#include "lang/ProgramTexts.h"

#include <QGuiApplication>
#include <QLocale>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <algorithm>

void ShowPrintPreview(const ReportJob &job, QWidget *parent) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageLayout(BandedReport::PageLayout());
  QPrintPreviewDialog preview(&printer, parent);
  preview.setObjectName(job.name);
  preview.setWindowTitle(job.caption);
  // Large enough to read a whole page at once.
  if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
    const QSize room = screen->availableSize();
    preview.resize(std::min(room.width() * 3 / 4, room.height()), room.height() * 9 / 10);
  }
  QObject::connect(&preview, &QPrintPreviewDialog::paintRequested,
                   [&job](QPrinter *target) { job.print(*target); });
  preview.exec();
}

TReportWindow::TReportWindow(AppContext &ctx, const QString &objectName, QWidget *parent)
    : QDialog(parent), ctx_(ctx) {
  setObjectName(objectName);
}

void TReportWindow::Present(const QString &caption, const QString &reportName) {
  const TextTable &t = ctx_.state.Texts;
  report_.Footer = {t.text(ProgramText::PrintedOn)
                        .arg(QLocale().toString(ctx_.state.clock->now(), QLocale::ShortFormat)),
                    t.text(ProgramText::PageOfPages)};
  preview_(
      {caption, reportName, [this](QPagedPaintDevice &device) { return report_.Print(device); }},
      parentWidget());
}
