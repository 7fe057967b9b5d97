// Merging another database file into the program's own.
#include "common/AppContext.h"
#include "common/FileDialogs.h"
#include "common/OperatorMessages.h"
#include "db/TDM.h"
#include "history/FormJournal.h"
#include "import/ExternalImport.h"
#include "lang/FileDialogFilter.h"
#include "main/MainForm.h"

#include <QProgressDialog>

namespace {
// The import's progress in a modal dialog whose Cancel (or close box) stops
// the import; the dialog lets the window's events through at every report.
class ImportProgressDialog : public ImportObserver {
public:
  ImportProgressDialog(QWidget *parent, const QString &caption, ExternalImport &import)
      : dialog_(caption, QString(), 0, Scale, parent), import_(import) {
    dialog_.setObjectName(QStringLiteral("ImportProgress"));
    dialog_.setWindowTitle(caption);
    dialog_.setWindowModality(Qt::ApplicationModal);
    dialog_.setMinimumDuration(0);
    dialog_.setAutoReset(false);
  }

  void ImportProgress(qint64 done, qint64 total) override {
    // A modal progress dialog processes pending events when its value is set.
    dialog_.setValue(total > 0 ? int(done * Scale / total) : Scale);
    if (dialog_.wasCanceled())
      import_.Cancel();
  }

private:
  static constexpr int Scale = 1000;
  QProgressDialog dialog_;
  ExternalImport &import_;
};
} // namespace

void TMainForm::AImportExecute() {
  // Files of this program and of its earlier Access-based installations.
  const QString filter = QtFileDialogFilter(OD_ExternalDataBaseFilter) + ";;VX4418M (*.db);;" +
                         QStringLiteral("* (*)");
  const QString path = ctx_.files.openFile(this, OD_ExternalDataBaseTitle, QString(), filter);
  if (path.isEmpty())
    return;
  ExternalImport import(ctx_.DM->Connection(), &ctx_.DM->JournalLog());
  ImportResult result;
  {
    ImportProgressDialog progress(this, ctx_.state.Texts.at(93), import);
    import.SetObserver(&progress);
    result = import.Run(path);
  }
  switch (result.outcome) {
  case ImportOutcome::Merged:
    ASelectUserExecute();
    ctx_.messages.notice(this, ctx_.state.Texts.text(ProgramText::ImportSummary)
                                   .arg(result.PeopleMatched)
                                   .arg(result.PeopleAdded)
                                   .arg(result.EventsCopied)
                                   .arg(result.EventsPresent));
    break;
  case ImportOutcome::Cancelled: // rolled back: the lists still show the database
    break;
  default:
    ctx_.messages.error(this, result.error);
  }
}

void TMainForm::AJournalExecute() {
  ctx_.FormJournal->ShowJournal();
}
