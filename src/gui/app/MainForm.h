#pragma once
#include <QMainWindow>
#include <QMap>

struct AppContext;
class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QToolBar;
class QToolButton;
class StringGrid;

// The main window: the user list or one person's history, the commands on
// menus and tool bar, and the status bar.
class TMainForm : public QMainWindow {
  Q_OBJECT
public:
  explicit TMainForm(AppContext &ctx, QWidget *parent = nullptr);
  ~TMainForm() override;

  // Copies the texts of the language in use into the window.
  void ApplyTexts();

  void LayoutUserList(bool visible);
  void LayoutHistoryList(bool visible);
  void FillUserList();
  int SelectedUserKey();

  // The command objects by name (AddUser, AViewHistory, ExitApp, ...).
  QAction *action(const QString &name) const { return actions_.value(name); }

  StringGrid *SG_User = nullptr;
  StringGrid *SG_History = nullptr;
  QLabel *PanelName = nullptr;
  QLabel *StatusPanel[3] = {nullptr, nullptr, nullptr};

public slots:
  void ASelectUserExecute();
  void AProgramSettingExecute();
  void ExitAppExecute();
  void EnglLangClick();
  void RussianLangClick();
  void SpanishLangClick();

protected:
  void showEvent(QShowEvent *e) override;
  void resizeEvent(QResizeEvent *e) override;
  void closeEvent(QCloseEvent *e) override;
  bool event(QEvent *e) override;

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
  void ChangeLanguage(const QString &fileName);
  void SetStatusPanel0Width(int width);

  AppContext &ctx_;
  QMap<QString, QAction *> actions_;
  QMap<QString, QToolButton *> toolButtons_;
  QMap<QString, QMenu *> menus_;
  QToolBar *ToolBar1 = nullptr;
  QActionGroup *langGroup_ = nullptr;
  bool shown_ = false;
  bool ShowSettingsOnActivate = false;
};
