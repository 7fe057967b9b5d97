#pragma once
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <memory>
#include <optional>
#include <vector>

#include "db/StoredEvent.h"

#include "db/Person.h"

struct AppContext;
class HistoryGridModel;
class OfficeExport;
class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QToolBar;
class QToolButton;
class StringGrid;
class UserGridModel;

// The main window: the user list or one person's history, the commands on
// menus and tool bar, and the status bar.
class TMainForm : public QMainWindow {
  Q_OBJECT
public:
  explicit TMainForm(AppContext &ctx, QWidget *parent = nullptr);
  ~TMainForm() override;

  // Copies the texts of the language in use into the window.
  void ApplyTexts();

  // The two lists. Exactly one is on show; the history list's rows are those
  // of the last history select (LoadHistory), selected anew when it failed.
  void LayoutUserList(bool visible);
  void LayoutHistoryList(bool visible);
  static void SetColumnWidths(StringGrid *grid, const std::vector<int> &shares);
  bool FillUserList(); // false when the register could not be read
  void FillHistoryList();
  // The UserId of the person in the selected row of the user list, or -1.
  int SelectedUserKey();
  // The selected person as the database holds her now. Gone or unreadable:
  // the operator is told and the list is read again; nullopt.
  std::optional<Person> RecheckSelectedPerson();
  // True while the history list is the list on show.
  bool HistoryShown() const;

  // The command objects by name (AddUser, AViewHistory, ExitApp, ...).
  QAction *action(const QString &name) const { return actions_.value(name); }

  StringGrid *SG_User = nullptr;
  StringGrid *SG_History = nullptr;
  QLabel *PanelName = nullptr;
  QLabel *StatusPanel[3] = {nullptr, nullptr, nullptr};
  QMenu *PopupMenu1 = nullptr;
  // Title and filter of the open dialog of the import.
  QString OD_ExternalDataBaseTitle;
  QString OD_ExternalDataBaseFilter;

public slots:
  // Lists and people.
  void ASelectUserExecute();
  void AViewHistoryExecute();
  void AddUserExecute();
  void AEditUserExecute();
  void ADeleteUserExecute();
  // History.
  void ADeleteHistoryExecute();
  // Moves the deleted events of the person shown back into the history.
  void ARestoreHistoryExecute();
  void AFilterHistoryExecute();
  void ACancelFilterExecute();
  void APrintUserExecute();
  void APrintHistoryExecute();
  // Settings and language.
  void AProgramSettingExecute();
  void ExitAppExecute();
  void EnglLangClick();
  void RussianLangClick();
  void SpanishLangClick();
  // Selects every filled row of the list on show.
  void ASelectAllExecute();

  // Text export and clipboard (MainTextExport.cpp).
  void ASaveToAsciiExecute();
  void ACopyToClipboardExecute();
  // Office export (MainOfficeExport.cpp).
  void AConvertToWordExecute();
  // Import from another database (MainImport.cpp).
  void AImportExecute();
  // The journal of changes (Utilities menu).
  void AJournalExecute();
  // The Doses view, and the dose chart of the person shown or selected.
  void ADosesExecute();
  void ADoseChartExecute();
  // Instrument and registration commands (MainInstrumentCommands.cpp).
  void AReadHistoryExecute();
  void ARegistrationExecute();
  void ACancelRegExecute();
  void AClearHistoryExecute();
  void AClearDEExecute();
  void ADeviceExecute();
  void StatusBar1DblClick();

protected:
  void showEvent(QShowEvent *e) override;
  void resizeEvent(QResizeEvent *e) override;
  void closeEvent(QCloseEvent *e) override;
  bool event(QEvent *e) override;
  bool eventFilter(QObject *watched, QEvent *e) override;

private:
  void FormShow();
  void FormActivate();
  void FormResize();
  void FormClose();
  void FormDestroy();

  void buildActions();
  void buildMenus();
  void buildToolBar();
  void buildClientArea();
  void buildStatusBar();
  void SetUserListView();
  void SetHistoryView();
  void SetSelectAllHint(int entry);
  void ApplyToolButtonHints();
  void HideToolButton(const char *name);
  void ChangeLanguage(const QString &fileName);
  void SetStatusPanel0Width(int width);
  void SetFilterPanel();
  // Selects the current user's history with the filter in force into
  // historyRows_; false when the select failed (historyRows_ is then empty).
  bool LoadHistory();
  // Selects the current user's history again and refills the list; false
  // when the select failed (the list keeps its rows).
  bool ReloadHistory();
  QString UserEditorIcon(const char *fileName) const;
  // The list on show: the history list while it is visible, else the user list.
  StringGrid *TargetGrid() const;
  // Instrument commands: one exchange in a mode (true on OK), selecting the
  // row of an instrument's holder, and the two clearing commands.
  bool RunInstrumentExchange(int mode);
  void SelectDeviceHolderRow(qint32 deviceId);
  void ClearInstrument(int mode, int questionEntry);

  AppContext &ctx_;
  UserGridModel *userCells_ = nullptr; // each row keeps its person
  HistoryGridModel *historyCells_ = nullptr;
  // The rows of the last history select; none after it failed.
  std::optional<QList<StoredEvent>> historyRows_;
  QMap<QString, QAction *> actions_;
  QMap<QString, QToolButton *> toolButtons_;
  QMap<QString, QAction *> toolHolders_;
  QMap<QString, QMenu *> menus_;
  QToolBar *ToolBar1 = nullptr;
  QActionGroup *langGroup_ = nullptr;
  bool shown_ = false;
  bool ShowSettingsOnActivate = false;
  // Owns the folder of the office files for the whole run.
  std::unique_ptr<OfficeExport> officeExport_;
};
