#include "dialogs/ReportPreview.h"

#include <QPrintPreviewDialog>
#include <QPrinter>

void ShowPrintPreview(const ReportJob &job, QWidget *parent) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageLayout(BandedReport::PageLayout());
  QPrintPreviewDialog preview(&printer, parent);
  preview.setObjectName(job.name);
  preview.setWindowTitle(job.caption);
  QObject::connect(&preview, &QPrintPreviewDialog::paintRequested,
                   [&job](QPrinter *target) { job.print(*target); });
  preview.exec();
}

TReportWindow::TReportWindow(AppContext &ctx, const QString &objectName, QWidget *parent)
    : QDialog(parent), ctx_(ctx) {
  setObjectName(objectName);
}

void TReportWindow::Present(const QString &caption, const QString &reportName) {
  preview_(
      {caption, reportName, [this](QPagedPaintDevice &device) { return report_.Print(device); }},
      parentWidget());
}
