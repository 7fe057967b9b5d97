#include "main/MainForm.h"
#include "export/OfficeExport.h"

#include "common/AppContext.h"
#include "common/OperatorMessages.h"
#include "common/WidgetHints.h"
#include "db/DatabaseLocation.h"
#include "db/TDM.h"
#include "export/SaveWhole.h"
#include "history/FormJournal.h"
#include "history/HistoryOrder.h"
#include "lang/ProgramTexts.h"
#include "link/IrdaTransport.h"
#include "log/SupportLog.h"
#include "main/EditProgramSettings.h"
#include "main/HistoryList.h"
#include "main/StringGrid.h"
#include "main/UserList.h"
#include "settings/ProfileFile.h"
#include "settings/ProgramSettings.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// One command of the main window: its texts are entries of the text table,
// its picture a name of the desktop's icon theme.
// An action's tool tip (before "|") and status bar hint (after it).
void SetActionHint(QAction *action, const QString &hint) {
  action->setToolTip(TextTable::shortHint(hint));
  action->setStatusTip(TextTable::longHint(hint));
}

struct ActionSpec {
  const char *name;
  int caption;
  int hint;
  const char *keys;
  const char *icon;
};

const ActionSpec kActions[] = {
    {"ASelectUser", 26, 27, "", "system-users"},
    // Ctrl+A is the select-all key of the lists; "New user" keeps its menu
    // item and tool button.
    {"AddUser", 24, 25, "", "contact-new"},
    {"AEditUser", 46, 47, "Ctrl+E", "document-properties"},
    {"APrintUser", 56, 57, "Ctrl+Alt+P", "document-print"},
    {"ADeleteUser", 50, 51, "", "edit-delete"},
    {"ARegistration", 65, 66, "Ctrl+Alt+R", "list-add"},
    {"ACancelReg", 62, 63, "", "list-remove"},
    {"AViewHistory", 11, 12, "Ctrl+H", "x-office-document"},
    {"APrintHistory", 58, 59, "Ctrl+P", "document-print"},
    {"AFilterHistory", 53, 54, "Ctrl+F", "edit-find"},
    {"ACancelFilter", 70, 71, "Ctrl+Alt+F", "edit-clear"},
    {"ADeleteHistory", 48, 49, "", "user-trash"},
    {"ARestoreHistory", -1, -1, "", "edit-undo"},
    {"AReadHistory", 60, 61, "Ctrl+R", "network-receive"},
    {"ADevice", 72, 73, "Ctrl+D", "preferences-system"},
    {"AClearHistory", 79, 80, "", "user-trash-full"},
    {"AClearDE", 82, 83, "", "view-refresh"},
    {"ASelectAll", 87, -1, "Ctrl+A", ""},
    {"ACopyToClipboard", 90, 91, "Ctrl+C", ""},
    {"ASaveToAscii", 85, 86, "Ctrl+S", "document-save-as"},
    {"AImport", 93, 94, "", "document-open"},
    {"AJournal", -1, -1, "", "document-properties"},
    {"ADoses", -1, -1, "Ctrl+Alt+D", "x-office-spreadsheet"},
    {"ADoseChart", -1, -1, "", "x-office-presentation"},
    {"AConvertToWord", -1, -1, "", "x-office-spreadsheet"},
    {"AProgramSetting", 77, 78, "", "preferences-desktop"},
    {"ExitApp", 9, 10, "", "system-log-out"},
};

// Tool bar, left to right; an empty name is a separator.
const char *const kToolBar[][2] = {
    {"tlb_User", "ASelectUser"},
    {"tlbNewUser", "AddUser"},
    {"tlb_EditUser", "AEditUser"},
    {"", ""},
    {"tlb_Register", "ARegistration"},
    {"tlb_CancelRegistration", "ACancelReg"},
    {"", ""},
    {"tlb_History", "AViewHistory"},
    {"tlb_Filter", "AFilterHistory"},
    {"tlb_CancelFilter", "ACancelFilter"},
    {"tlb_Doses", "ADoses"},
    {"", ""},
    {"tlb_DeleteAll", "ADeleteUser"},
    {"tlb_ReadHistory", "AReadHistory"},
    {"tlbDevice", "ADevice"},
    {"", ""},
    {"tlb_DeleteHistory", "ADeleteHistory"},
    {"", ""},
    {"ToolButton6", "ASaveToAscii"},
    {"ToolButton7", "AConvertToWord"},
    {"tlb_PrintHistory", "APrintHistory"},
    {"tlb_PrintUser", "APrintUser"},
    {"tlb_Exit", "ExitApp"},
};

const char *const kUserViewActions[] = {"AViewHistory", "AEditUser",  "AddUser",      "ADeleteUser",
                                        "APrintUser",   "ACancelReg", "ARegistration"};
const char *const kHistoryViewActions[] = {"ASelectUser", "ADeleteHistory", "ARestoreHistory",
                                           "APrintHistory"};

} // namespace

TMainForm::TMainForm(AppContext &ctx, QWidget *parent) : QMainWindow(parent), ctx_(ctx) {
  setObjectName("MainForm");
  resize(714, 434 + 29 + 26 + 24);
  // Room for the menu, most of the tool bar and a few rows of either list.
  setMinimumSize(560, 360);
  buildActions();
  buildMenus();
  buildToolBar();
  buildClientArea();
  buildStatusBar();
}

TMainForm::~TMainForm() {
  FormDestroy();
}

void TMainForm::buildActions() {
  for (const ActionSpec &a : kActions) {
    auto *act = new QAction(this);
    act->setObjectName(a.name);
    if (*a.keys)
      act->setShortcut(QKeySequence(QString::fromLatin1(a.keys)));
    if (*a.icon)
      act->setIcon(QIcon::fromTheme(QString::fromLatin1(a.icon)));
    actions_.insert(a.name, act);
    addAction(act);
  }
  // The office export stays out of the operator's reach. Import is on the
  // Utilities menu: offices moving from an older installation bring their
  // whole dose record with it.
  actions_["AConvertToWord"]->setVisible(false);

  const struct {
    const char *name;
    void (TMainForm::*slot)();
  } handlers[] = {
      {"ASelectUser", &TMainForm::ASelectUserExecute},
      {"AddUser", &TMainForm::AddUserExecute},
      {"AEditUser", &TMainForm::AEditUserExecute},
      {"APrintUser", &TMainForm::APrintUserExecute},
      {"ADeleteUser", &TMainForm::ADeleteUserExecute},
      {"ARegistration", &TMainForm::ARegistrationExecute},
      {"ACancelReg", &TMainForm::ACancelRegExecute},
      {"AViewHistory", &TMainForm::AViewHistoryExecute},
      {"APrintHistory", &TMainForm::APrintHistoryExecute},
      {"AFilterHistory", &TMainForm::AFilterHistoryExecute},
      {"ACancelFilter", &TMainForm::ACancelFilterExecute},
      {"ADeleteHistory", &TMainForm::ADeleteHistoryExecute},
      {"ARestoreHistory", &TMainForm::ARestoreHistoryExecute},
      {"AReadHistory", &TMainForm::AReadHistoryExecute},
      {"ADevice", &TMainForm::ADeviceExecute},
      {"AClearHistory", &TMainForm::AClearHistoryExecute},
      {"AClearDE", &TMainForm::AClearDEExecute},
      {"ASelectAll", &TMainForm::ASelectAllExecute},
      {"ACopyToClipboard", &TMainForm::ACopyToClipboardExecute},
      {"ASaveToAscii", &TMainForm::ASaveToAsciiExecute},
      {"AImport", &TMainForm::AImportExecute},
      {"AJournal", &TMainForm::AJournalExecute},
      {"ADoses", &TMainForm::ADosesExecute},
      {"ADoseChart", &TMainForm::ADoseChartExecute},
      {"AConvertToWord", &TMainForm::AConvertToWordExecute},
      {"AProgramSetting", &TMainForm::AProgramSettingExecute},
      {"ExitApp", &TMainForm::ExitAppExecute},
  };
  for (const auto &h : handlers)
    connect(actions_[h.name], &QAction::triggered, this, h.slot);
}

void TMainForm::buildMenus() {
  QMenuBar *bar = menuBar();
  bar->setObjectName("MainMenuGen");
  auto addMenu = [&](const char *name, std::initializer_list<const char *> items) {
    QMenu *m = bar->addMenu(QString());
    m->setObjectName(name);
    m->menuAction()->setObjectName(QString::fromLatin1(name) + "Item");
    for (const char *item : items) {
      if (*item)
        m->addAction(actions_[item]);
      else
        m->addSeparator();
    }
    menus_.insert(name, m);
    return m;
  };
  addMenu("UserMenu", {"ASelectUser", "AddUser", "AEditUser", "APrintUser", "ADeleteUser", "",
                       "ARegistration", "ACancelReg"});
  addMenu("HistoryMenu", {"AViewHistory", "APrintHistory", "AFilterHistory", "ACancelFilter",
                          "ADeleteHistory", "ARestoreHistory", "", "ADoses", "ADoseChart"});
  addMenu("DeviceMenu", {"AReadHistory", "ADevice", "AClearHistory", "AClearDE"});
  addMenu("NUtils", {"ASelectAll", "ACopyToClipboard", "ASaveToAscii", "AImport", "AJournal"});
  QMenu *settings = addMenu("Settings", {});
  QMenu *lang = settings->addMenu(QString());
  lang->setObjectName("Lang");
  menus_.insert("Lang", lang);
  langGroup_ = new QActionGroup(this);
  langGroup_->setExclusive(true);
  const struct {
    const char *name;
    const char *keys;
    void (TMainForm::*slot)();
  } langs[] = {{"EnglLang", "Ctrl+Alt+E", &TMainForm::EnglLangClick},
               {"RussianLang", "Ctrl+Alt+U", &TMainForm::RussianLangClick},
               {"SpanishLang", "Ctrl+Alt+S", &TMainForm::SpanishLangClick}};
  for (const auto &l : langs) {
    QAction *a = lang->addAction(QString());
    a->setObjectName(l.name);
    a->setCheckable(true);
    a->setShortcut(QKeySequence(QString::fromLatin1(l.keys)));
    langGroup_->addAction(a);
    actions_.insert(l.name, a);
    addAction(a);
    connect(a, &QAction::triggered, this, l.slot);
  }
  settings->addAction(actions_["AProgramSetting"]);
  settings->addAction(actions_["ExitApp"]);

  // The context menu of both lists.
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  PopupMenu1->addAction(actions_["ASelectAll"]);
  PopupMenu1->addAction(actions_["ASaveToAscii"]);
  PopupMenu1->addAction(actions_["ACopyToClipboard"]);
}

void TMainForm::buildToolBar() {
  ToolBar1 = addToolBar(QString());
  ToolBar1->setObjectName("ToolBar1");
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->toggleViewAction()->setVisible(false);
  ToolBar1->setIconSize(QSize(22, 22));
  ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
  for (const auto &entry : kToolBar) {
    if (!*entry[0]) {
      ToolBar1->addSeparator();
      continue;
    }
    auto *b = new QToolButton(ToolBar1);
    b->setObjectName(entry[0]);
    b->setDefaultAction(actions_[entry[1]]);
    b->setAutoRaise(true);
    QAction *holder = ToolBar1->addWidget(b);
    holder->setObjectName(QString::fromLatin1(entry[0]) + "Holder");
    toolButtons_.insert(entry[0], b);
    toolHolders_.insert(entry[0], holder);
    // A tool button follows its command's visibility; taking the command's
    // texts again, it loses a hint of its own, which is put back.
    QAction *act = actions_[entry[1]];
    connect(act, &QAction::changed, holder, [this, holder, act] {
      holder->setVisible(act->isVisible());
      ApplyToolButtonHints();
    });
    holder->setVisible(act->isVisible());
  }
  // Deleting is reached from the menus only: these two buttons never show.
  for (const char *hidden : {"tlb_DeleteAll", "tlb_DeleteHistory"}) {
    QAction *holder = toolHolders_[hidden];
    disconnect(toolButtons_[hidden]->defaultAction(), &QAction::changed, holder, nullptr);
    HideToolButton(hidden);
  }
}

void TMainForm::HideToolButton(const char *name) {
  toolHolders_[name]->setVisible(false);
}

void TMainForm::buildClientArea() {
  auto *central = new QWidget(this);
  central->setObjectName("ClientArea");
  auto *layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  PanelName = new QLabel(central);
  PanelName->setObjectName("PanelName");
  PanelName->setFixedHeight(28);
  PanelName->setFrameShape(QFrame::Box);
  PanelName->setFrameShadow(QFrame::Plain);
  PanelName->setAlignment(Qt::AlignCenter);
  PanelName->setTextFormat(Qt::PlainText);
  QFont panelFont = PanelName->font();
  panelFont.setPixelSize(13);
  PanelName->setFont(panelFont);
  PanelName->installEventFilter(this);
  PanelName->hide();
  layout->addWidget(PanelName);

  userCells_ = new UserGridModel;
  SG_User = new StringGrid(userCells_, StringGrid::Lines::Horizontal, central);
  SG_User->setObjectName("SG_User");
  // Delete in the user list deletes the selected person (after the question).
  auto *deleteKey =
      new QShortcut(QKeySequence::Delete, SG_User, nullptr, nullptr, Qt::WidgetShortcut);
  connect(deleteKey, &QShortcut::activated, this, &TMainForm::ADeleteUserExecute);
  SG_User->setFrameShape(QFrame::NoFrame);
  SG_User->setStyleSheet("QTableView#SG_User { background: rgb(202, 223, 247); }"
                         "QTableView#SG_User QHeaderView::section { background: silver;"
                         " border: 1px solid gray; border-left: none; border-top: none;"
                         " padding: 2px; }");
  QFont userFont = SG_User->font();
  userFont.setPixelSize(15);
  userFont.setBold(true);
  SG_User->setFont(userFont);
  SG_User->verticalHeader()->setDefaultSectionSize(QFontMetrics(userFont).height() + 8);
  SG_User->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  // Its columns share the client width; a window too narrow for the names
  // scrolls the list sideways.
  // A double click on an empty row opens nobody's history.
  connect(SG_User, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &at) {
    if (at.flags() & Qt::ItemIsEnabled)
      AViewHistoryExecute();
  });
  layout->addWidget(SG_User);

  historyCells_ = new HistoryGridModel;
  SG_History = new StringGrid(historyCells_, StringGrid::Lines::Both, central);
  SG_History->setObjectName("SG_History");
  QFont historyFont = SG_History->font();
  historyFont.setPixelSize(13);
  SG_History->setFont(historyFont);
  SG_History->verticalHeader()->setDefaultSectionSize(QFontMetrics(historyFont).height() + 8);
  SG_History->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  // A click on a column title sorts by it; the list starts in time order.
  SG_History->horizontalHeader()->setSectionsClickable(true);
  SG_History->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
  SG_History->setSortingEnabled(true);
  // A double click anywhere in the history, also on its empty rows, returns
  // to the user list.
  SG_History->viewport()->installEventFilter(this);
  SG_History->hide();
  layout->addWidget(SG_History);

  for (StringGrid *grid : {SG_User, SG_History}) {
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid, &QWidget::customContextMenuRequested, this, [this, grid](const QPoint &pos) {
      PopupMenu1->popup(grid->viewport()->mapToGlobal(pos));
    });
  }
  setCentralWidget(central);
}

void TMainForm::buildStatusBar() {
  QStatusBar *bar = statusBar();
  bar->setObjectName("StatusBar1");
  bar->setSizeGripEnabled(false);
  bar->setFixedHeight(26);
  for (int i = 0; i < 3; ++i) {
    StatusPanel[i] = new QLabel(bar);
    StatusPanel[i]->setObjectName(QString("StatusPanel%1").arg(i));
    StatusPanel[i]->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    StatusPanel[i]->setIndent(3);
    StatusPanel[i]->setTextFormat(Qt::PlainText);
    bar->addWidget(StatusPanel[i]);
  }
  StatusPanel[0]->setFixedWidth(310);
  StatusPanel[1]->setFixedWidth(250);
  StatusPanel[2]->setFixedWidth(50);
  bar->installEventFilter(this);
  for (QLabel *p : StatusPanel)
    p->installEventFilter(this);
}

bool TMainForm::eventFilter(QObject *watched, QEvent *e) {
  if (e->type() == QEvent::MouseButtonDblClick) {
    if (watched == PanelName || watched == SG_History->viewport()) {
      ASelectUserExecute();
      return true;
    }
    if (watched == statusBar() || std::find(std::begin(StatusPanel), std::end(StatusPanel),
                                            watched) != std::end(StatusPanel)) {
      StatusBar1DblClick();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, e);
}

void TMainForm::ApplyTexts() {
  const TextTable &t = ctx_.state.Texts;
  setWindowTitle(t.at(0));
  const struct {
    const char *name;
    int entry;
  } menus[] = {{"UserMenu", 1}, {"HistoryMenu", 2}, {"Lang", 3},
               {"Settings", 7}, {"DeviceMenu", 74}, {"NUtils", 92}};
  for (const auto &m : menus)
    menus_[m.name]->setTitle(t.at(m.entry));
  menus_["Settings"]->menuAction()->setStatusTip(TextTable::longHint(t.at(8)));
  menus_["Settings"]->menuAction()->setToolTip(TextTable::shortHint(t.at(8)));
  actions_["RussianLang"]->setText(t.at(4));
  actions_["EnglLang"]->setText(t.at(5));
  actions_["SpanishLang"]->setText(t.at(6));

  for (const ActionSpec &a : kActions) {
    QAction *act = actions_[a.name];
    if (a.caption >= 0)
      act->setText(t.at(a.caption));
    if (a.hint >= 0)
      SetActionHint(act, t.at(a.hint));
  }
  const TextTable &texts = ctx_.state.Texts;
  actions_["AJournal"]->setText(texts.text(ProgramText::JournalCommand));
  SetActionHint(actions_["AJournal"], texts.text(ProgramText::JournalHint));
  actions_["ARestoreHistory"]->setText(texts.text(ProgramText::RestoreHistoryCommand));
  SetActionHint(actions_["ARestoreHistory"], texts.text(ProgramText::RestoreHistoryHint));
  actions_["ADoses"]->setText(texts.text(ProgramText::DosesCommand));
  SetActionHint(actions_["ADoses"], texts.text(ProgramText::DosesHint));
  actions_["ADoseChart"]->setText(texts.text(ProgramText::ChartCommand));
  SetActionHint(actions_["ADoseChart"], texts.text(ProgramText::ChartHint));
  ApplyToolButtonHints();
  OD_ExternalDataBaseTitle = t.at(95);
  OD_ExternalDataBaseFilter = t.at(96);

  const int userTitles[] = {146, 147, 148, 149};
  for (int c = 0; c < 4; ++c)
    SG_User->cells().setTitle(c, t.at(userTitles[c]));
  const int historyTitles[] = {151, 152, 153, 20, 149};
  for (int c = 0; c < 5; ++c)
    SG_History->cells().setTitle(c, t.at(historyTitles[c]));
}

void TMainForm::ApplyToolButtonHints() {
  const TextTable &t = ctx_.state.Texts;
  // tlbDevice's hint is the caption of its command; tlb_CancelRegistration
  // has a hint of its own.
  SetHint(toolButtons_["tlbDevice"], t.at(72));
  SetHint(toolButtons_["tlb_CancelRegistration"], t.at(62));
}

void TMainForm::showEvent(QShowEvent *e) {
  QMainWindow::showEvent(e);
  if (!shown_) {
    shown_ = true;
    FormShow();
  }
}

void TMainForm::FormShow() {
  AppState &s = ctx_.state;
  s.KeepHistoryAfterRead = false;
  s.Paths.ProgramFolder = QDir(ctx_.executableFolder).absolutePath() + "/";
  QList<UnusableDatabase> unusable;
  ProfileFile ini(SettingsFilePath(ctx_.SettingsFolder()));
  LoadSettings(s, ini, ctx_.DataFolder(), &unusable);
  ShowSettingsOnActivate = s.ProgSetting.RunSet;

  const QString lang = s.Paths.LangFile.toUpper();
  if (lang.contains("LANGES"))
    actions_["SpanishLang"]->setChecked(true);
  else if (lang.contains("LANGE"))
    actions_["EnglLang"]->setChecked(true);
  else
    actions_["RussianLang"]->setChecked(true);

  s.Texts.loadLanguageFile(QDir(s.Paths.ProgramFolder).filePath(s.Paths.LangFile));
  s.ToolkitTexts.SetProgramFolder(s.Paths.ProgramFolder);
  s.ToolkitTexts.Follow(s.Texts.language());
  ApplyTexts();
  // Told in the language just loaded, before the list shows another database.
  for (const UnusableDatabase &db : unusable)
    ctx_.messages.error(this, FileProblemText(s.Texts.at(67), db.path, db.reason));

  LayoutHistoryList(false);
  LayoutUserList(true);
  ctx_.DM->SetLocation(s.Paths.ADOFile);
  // A server that cannot be reached is told; the program works on when it
  // can be reached again, never on another database meanwhile.
  if (!ctx_.DM->History().PurgeUntypedEvents() && IsServerLocation(s.Paths.ADOFile))
    ctx_.messages.error(this, FileProblemText(s.Texts.at(67), ShownLocation(s.Paths.ADOFile),
                                              ctx_.DM->LastError()));
  // A database newer than the program is not used; one whose missing layout
  // steps could not be taken is used without what they add.
  if (const SchemaState &schema = ctx_.DM->Schema();
      schema.outcome != SchemaState::Outcome::UpToDate)
    ctx_.messages.error(
        this, FileProblemText(s.Texts.at(67), ShownLocation(s.Paths.ADOFile), schema.error));
  if (FillUserList())
    qCInfo(lcDb).noquote() << "start: user list filled from" << ShownLocation(s.Paths.ADOFile);
  SetUserListView();
  ctx_.state.Filter = {};
  SetStatusPanel0Width(statusBar()->width() / 3 * 2);
}

bool TMainForm::event(QEvent *e) {
  switch (e->type()) {
  case QEvent::WindowActivate:
    FormActivate();
    break;
  case QEvent::StatusTip:
    // Panel 0 shows the long hint of whatever is under the mouse.
    StatusPanel[0]->setText(static_cast<QStatusTipEvent *>(e)->tip());
    return true;
  default:
    break;
  }
  return QMainWindow::event(e);
}

void TMainForm::FormActivate() {
  if (!(windowState() & Qt::WindowMaximized))
    setWindowState(windowState() | Qt::WindowMaximized);
  if (ShowSettingsOnActivate) {
    ShowSettingsOnActivate = false;
    // Opened once the activation has been handled, so the dialog does not
    // run inside the activation event itself.
    QTimer::singleShot(0, this, [this] { EditProgramSettings(*ctx_.FormSetting, ctx_.state); });
  }
}

void TMainForm::resizeEvent(QResizeEvent *e) {
  QMainWindow::resizeEvent(e);
  FormResize();
}

// Panel 0 takes `width`; panels 1 and 2 share the rest equally.
void TMainForm::SetStatusPanel0Width(int width) {
  const int w = statusBar()->width();
  const int p0 = std::max(0, width);
  const int p1 = std::max(0, (w - p0) / 2 - 8);
  StatusPanel[0]->setFixedWidth(p0);
  StatusPanel[1]->setFixedWidth(p1);
  StatusPanel[2]->setFixedWidth(p1);
}

void TMainForm::FormResize() {
  SetStatusPanel0Width(statusBar()->width() / 3 * 2 - 150);
  LayoutHistoryList(HistoryShown());
  LayoutUserList(!SG_User->isHidden());
}

void TMainForm::closeEvent(QCloseEvent *e) {
  FormClose();
  e->accept();
}

void TMainForm::FormClose() {
  AppState &s = ctx_.state;
  QString error;
  if (!SaveSettings(s, ctx_.SettingsFolder(), &error))
    ctx_.messages.error(this, FileProblemText(s.Texts.at(8), s.Paths.SettingsFile, error));
}

void TMainForm::FormDestroy() {
  // The socket options library stays loaded for the whole run.
  if (ctx_.state.Irda)
    ctx_.state.Irda->FreeOptionsLibrary();
}

void TMainForm::ExitAppExecute() {
  close();
}

bool TMainForm::HistoryShown() const {
  return !SG_History->isHidden();
}

void TMainForm::LayoutUserList(bool visible) {
  const int s = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  SG_User->setVisible(visible);
  centralWidget()->layout()->activate();
  const int w = SG_User->viewport()->width();
  const int c0 = (w - s) / 4;
  const int c3 = (w - s) / 5;
  const int c1 = (w - s - c0 - c3) / 2;
  SetColumnWidths(SG_User, {c0, c1, c1, c3});
}

// Each column gets its share of the list's width, but never less than its
// title and the cells in view need: a narrow window scrolls the list
// sideways instead of cutting names, numbers and dates.
void TMainForm::SetColumnWidths(StringGrid *grid, const std::vector<int> &shares) {
  for (int c = 0; c < int(shares.size()); ++c)
    grid->setColumnWidth(c, std::max(shares[std::size_t(c)], grid->NeededWidth(c)));
}

void TMainForm::LayoutHistoryList(bool visible) {
  SG_History->setVisible(visible);
  centralWidget()->layout()->activate();
  const int g = SG_History->showGrid() ? 1 : 0;
  const int w = SG_History->viewport()->width();
  const int c0 = (w - 4 * g) / 5 - 10;
  const int c1 = ((w - 4 * g) / 5) * 2;
  const int c2 = (w - c1 - c0 - 2 * g) / 3;
  const int c4 = w - c1 - c0 - 2 * c2 - 4 * g - 3;
  SetColumnWidths(SG_History, {c0, c1, c2, c2, c4});
}

bool TMainForm::FillUserList() {
  std::optional<QList<Person>> people = ctx_.DM->Register().People();
  if (!people)
    return false;
  PanelName->hide();
  const int selected = SG_User->SelectedRow();
  userCells_->Fill(std::move(*people));
  LayoutUserList(true);
  // The selected row stays where it was, within the rows the grid now has;
  // with none (or an empty row) selected, the first person is, so that the
  // commands on a person work without a click first.
  const int kept = std::min(selected, userCells_->RowCount() - 1);
  SG_User->SelectRow(kept > 0 && userCells_->RowFilled(kept) ? kept : 1);
  return true;
}

bool TMainForm::LoadHistory() {
  historyRows_ = ctx_.DM->History().UserHistory(ctx_.state.User.CurrentUserKey, ctx_.state.Filter);
  if (historyRows_)
    PutInTimeOrder(*historyRows_);
  return historyRows_.has_value();
}

void TMainForm::FillHistoryList() {
  if (!historyRows_ && !LoadHistory())
    return;
  PanelName->show();
  const int written =
      historyCells_->Fill(*historyRows_, ctx_.state.Texts, ctx_.state.ProgSetting.Roentgen);
  SG_History->viewport()->update();
  // The last event is selected and shown at the bottom of the list, with the
  // events before it above.
  if (written > 0) {
    SG_History->SelectRow(written);
    SG_History->scrollTo(historyCells_->index(written - 1, 0), QAbstractItemView::PositionAtBottom);
  }
}

int TMainForm::SelectedUserKey() {
  // The key travels with the row the grid shows: whatever happened to the
  // database since, a command acts on the person the operator sees.
  const Person *p = userCells_->PersonAt(SG_User->SelectedRow());
  if (!p || (p->SecondName.isEmpty() && p->FirstName.isEmpty() && p->MiddleName.isEmpty()))
    return -1;
  return p->UserId;
}

std::optional<Person> TMainForm::RecheckSelectedPerson() {
  const int key = SelectedUserKey();
  if (key == -1)
    return std::nullopt;
  const PersonLookup now = ctx_.DM->Register().LookUpPerson(key);
  if (now.outcome == PersonLookup::Outcome::Found)
    return now.person;
  // Deleted at another desk, or the register cannot be read: nothing is done
  // to anyone, and the list shows what the database holds now.
  ctx_.messages.error(this, ctx_.state.Texts.at(67));
  FillUserList();
  return std::nullopt;
}

void TMainForm::SetUserListView() {
  for (const char *n : kUserViewActions)
    actions_[n]->setVisible(true);
  for (const char *n : kHistoryViewActions)
    actions_[n]->setVisible(false);
}

void TMainForm::SetHistoryView() {
  for (const char *n : kUserViewActions)
    actions_[n]->setVisible(false);
  for (const char *n : kHistoryViewActions)
    actions_[n]->setVisible(true);
}

void TMainForm::SetSelectAllHint(int entry) {
  const QString &hint = ctx_.state.Texts.at(entry);
  SetActionHint(actions_["ASelectAll"], hint);
}

void TMainForm::ASelectAllExecute() {
  StringGrid *grid = HistoryShown() ? SG_History : SG_User;
  const StringGridModel &g = grid->cells();
  int bottom = 1;
  while (bottom + 1 < g.RowCount() && g.RowFilled(bottom + 1))
    ++bottom;
  grid->SelectRows(1, bottom);
}
