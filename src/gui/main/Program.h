#pragma once
#include <QApplication>
#include <functional>
#include <memory>

// The application object: shows an exception that escapes an event handler in
// the exception box and goes on.
class VxApplication : public QApplication {
  Q_OBJECT
public:
  VxApplication(int &argc, char **argv);
  bool notify(QObject *receiver, QEvent *event) override;

  // Where exception messages go; the default shows the exception box.
  std::function<void(const QString &)> showException;
};

// Shows the exception box with this message.
void ShowExceptionBox(const QString &message);

// The message of the exception being handled: its text for exceptions of the
// standard library, empty for anything else.
QString CurrentExceptionMessage();

struct AppContext;
class ProgramLocations;
class TMainForm;
class TDM;

// The windows and the data module of one run. The main window owns the other
// windows; the data module lives beside it.
struct ProgramWindows {
  std::unique_ptr<TMainForm> MainForm;
  std::unique_ptr<TDM> DM;
  ProgramWindows();
  ~ProgramWindows();
};

// Creates every window and the data module once, in their order, and records
// them in the context. Only the main window will be shown.
std::unique_ptr<ProgramWindows> CreateProgramWindows(AppContext &ctx);

// Creates the windows, shows the main window and runs the message loop, with
// the program's files where `where` says. Returns the process's exit code.
int RunProgram(VxApplication &app, const ProgramLocations &where);
