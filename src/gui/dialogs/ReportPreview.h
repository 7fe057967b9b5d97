#pragma once
#include <QDialog>
#include <QString>
#include <functional>

#include "dialogs/BandedReport.h"

struct AppContext;
class QPagedPaintDevice;

// A report ready to be shown: the caption of its preview, its component name
// and the painting of its pages on a printer (or any paged device).
struct ReportJob {
  QString caption;
  QString name;
  std::function<bool(QPagedPaintDevice &)> print;
};

// How a report reaches the operator. The program shows the print preview
// (ShowPrintPreview); tests put a writer of PDF files in its place.
using ReportPreview = std::function<void(const ReportJob &job, QWidget *parent)>;

// The print preview on an A4 printer, modal, from which the operator prints.
// Its window is named after the report and carries the job's caption.
void ShowPrintPreview(const ReportJob &job, QWidget *parent);

// What the two report windows share: the context, the report and the way the
// report is shown. The window itself never shows; the preview does.
class TReportWindow : public QDialog {
  Q_OBJECT
public:
  TReportWindow(AppContext &ctx, const QString &objectName, QWidget *parent);

  // Replaces the print preview (tests print to a file instead).
  void SetPreview(ReportPreview preview) { preview_ = std::move(preview); }

protected:
  // Hands the report, as it is bound now, to the preview under `caption`.
  void Present(const QString &caption, const QString &reportName);

  AppContext &ctx_;
  BandedReport report_;

private:
  ReportPreview preview_ = ShowPrintPreview;
};
