#include "main/Program.h"

#include "common/AppContext.h"
#include "common/EnterPressesButton.h"
#include "common/FileDialogs.h"
#include "common/OperatorMessages.h"
#include "common/WholeTitles.h"
#include "db/TDM.h"
#include "dialogs/FormDeleteHistory.h"
#include "dialogs/FormFilter.h"
#include "dialogs/FormPrintHistory.h"
#include "dialogs/FormPrintUser.h"
#include "dialogs/FormUser.h"
#include "dose/FormDoseChart.h"
#include "dose/FormDoses.h"
#include "exchanges/FormParams.h"
#include "exchanges/FormRead.h"
#include "exchanges/FormReg.h"
#include "exchanges/FormSetting.h"
#include "history/FormJournal.h"
#include "history/FormViewHist.h"
#include "lang/ProgramTexts.h"
#include "main/MainForm.h"
#include "settings/ProgramLocations.h"
#include "state/StopRequest.h"

#include <QDialog>
#include <QDir>
#include <QIcon>
#include <QMessageBox>
#include <QStandardPaths>
#include <exception>
#include <memory>

VxApplication::VxApplication(int &argc, char **argv) : QApplication(argc, argv) {
  setApplicationName("VX4418M");
  setApplicationDisplayName("VX4418M");
  showException = ShowExceptionBox;
  // Pictures come from the desktop's icon theme; a bare desktop gets the one
  // the set-up installs.
  // Platforms without a desktop theme (offscreen, minimal) search no system
  // folder; the themes live under the data folders of the desktop.
  QStringList iconPaths = QIcon::themeSearchPaths();
  for (const QString &dir : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
    if (const QString icons = QDir(dir).filePath("icons");
        !iconPaths.contains(icons) && QDir(icons).exists())
      iconPaths << icons;
  QIcon::setThemeSearchPaths(iconPaths);
  if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
    QIcon::setThemeName("Tango");
  QIcon::setFallbackThemeName("Tango");
}

bool VxApplication::notify(QObject *receiver, QEvent *event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    showException(CurrentExceptionMessage());
  }
  return false;
}

QString CurrentExceptionMessage() {
  try {
    throw;
  } catch (const std::exception &e) {
    return QString::fromLocal8Bit(e.what());
  } catch (...) {
    return {};
  }
}

void ShowExceptionBox(const QString &message) {
  QMessageBox::critical(nullptr, QApplication::applicationDisplayName(), message);
}

ProgramWindows::ProgramWindows() = default;

ProgramWindows::~ProgramWindows() {
  // The main window goes first: closing it may still use the data module.
  MainForm.reset();
  DM.reset();
}

std::unique_ptr<ProgramWindows> CreateProgramWindows(AppContext &ctx) {
  auto w = std::make_unique<ProgramWindows>();
  w->MainForm = std::make_unique<TMainForm>(ctx);
  TMainForm *main = w->MainForm.get();
  ctx.MainForm = main;
  ctx.FormUser = new TFormUser(ctx, main);
  ctx.FormDeleteHistory = new TFormDeleteHistory(ctx, main);
  // Nothing above may touch the database: the data module comes fourth.
  w->DM = std::make_unique<TDM>(ctx.state.clock, ctx.state.Paths.ADOFile);
  ctx.DM = w->DM.get();
  // A server that wants a password nothing supplies asks the operator, once.
  w->DM->Connection().SetPasswordSource([&ctx, main](const QString &where) {
    const TextTable &texts = ctx.state.Texts;
    return ctx.messages.password(main, texts.text(ProgramText::PasswordTitle),
                                 texts.text(ProgramText::PasswordPrompt).arg(where));
  });
  ctx.FormFilter = new TFormFilter(ctx, main);
  ctx.FormPrintHistory = new TFormPrintHistory(ctx, main);
  ctx.FormPrintUser = new TFormPrintUser(ctx, main);
  ctx.FormRead = new TFormRead(ctx, main);
  ctx.FormReg = new TFormReg(ctx, main);
  ctx.FormViewHist = new TFormViewHist(ctx, main);
  QObject::connect(ctx.FormViewHist, &TFormViewHist::peopleChanged, main, &TMainForm::FillUserList);
  ctx.FormParams = new TFormParams(ctx, main);
  ctx.FormSetting = new TFormSetting(ctx.state, main);
  ctx.FormJournal = new TFormJournal(ctx, main);
  ctx.FormDoses = new TFormDoses(ctx, main);
  ctx.FormDoseChart = new TFormDoseChart(ctx, main);
  auto *enter = new EnterPressesButton(main);
  auto *titles = new WholeTitles(main);
  enter->watch(main);
  for (QDialog *window : main->findChildren<QDialog *>(Qt::FindDirectChildrenOnly)) {
    enter->watch(window);
    titles->watch(window);
  }
  return w;
}

int RunProgram(VxApplication &app, const ProgramLocations &where) {
  try {
    AppState state;
    MessageBoxMessages messages;
    QtFileDialogs files;
    AppContext ctx{state, messages, files, where.resourceFolder()};
    if (!where.portable()) {
      ctx.settingsFolder = where.settingsFolder();
      ctx.dataFolder = where.dataFolder();
    }
    auto windows = CreateProgramWindows(ctx);
    // Asked from outside to end, the run ends as the exit command ends it.
    StopRequest stop;
    QObject::connect(&stop, &StopRequest::requested, windows->MainForm.get(), &QWidget::close);
    windows->MainForm->showMaximized();
    app.exec();
    return 0;
  } catch (...) {
    app.showException(CurrentExceptionMessage());
    return 0;
  }
}
