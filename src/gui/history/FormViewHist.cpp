#include "history/FormViewHist.h"

#include "common/AppContext.h"
#include "common/FileDialogs.h"
#include "common/OperatorMessages.h"
#include "common/RegistrationMessages.h"
#include "common/WidgetHints.h"
#include "db/TDM.h"
#include "dialogs/FormPrintHistory.h"
#include "dialogs/FormUser.h"
#include "exchanges/FormRead.h"
#include "exchanges/FormReg.h"
#include "export/SaveWhole.h"
#include "history/DoseFormat.h"
#include "history/HistoryRecord.h"
#include "history/RichText.h"
#include "lang/FileDialogFilter.h"
#include "rtf/RtfFile.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

const char *const kRtfFilter = "Rich text format (*.rtf)|*.rtf";

// Blanks put in front of every printed line.
constexpr int kPrintIndent = 16;

// The date-time texts of event lines. Events share dates and times of day,
// and the locale's formats are slow to apply, so each date and each time of
// day is formatted once, the same way as everywhere else.
class EventTimeTexts {
public:
  QString operator()(double days) {
    constexpr qint64 MsecsPerDay = 86400000;
    if (!std::isfinite(days))
      return {};
    const double whole = std::trunc(days);
    const qint64 ms = std::llround(std::fabs(days - whole) * MsecsPerDay);
    // Midnight and a time that rounds up to the next day: as everywhere else.
    if (ms <= 0 || ms >= MsecsPerDay)
      return TFormPrintHistory::EventTimeText(QVariant(days));
    QString &date = dates_[static_cast<qint64>(whole)];
    if (date.isNull())
      date = TFormPrintHistory::EventTimeText(QVariant(whole));
    if (date.isEmpty())
      return {};
    QString &time = times_[static_cast<int>(ms)];
    if (time.isNull())
      time = TFormPrintHistory::EventTimeText(QVariant(days)).mid(date.size() + 1);
    return date + u' ' + time;
  }

private:
  QHash<qint64, QString> dates_;
  QHash<int, QString> times_;
};

} // namespace

std::unique_ptr<QTextDocument> IndentedCopy(const QTextDocument &source, int blanks) {
  std::unique_ptr<QTextDocument> copy(source.clone());
  const QString indent(blanks, u' ');
  for (QTextBlock block = copy->begin(); block.isValid(); block = block.next()) {
    QTextCursor cursor(block);
    cursor.insertText(indent, block.charFormat());
  }
  return copy;
}

TFormViewHist::TFormViewHist(AppContext &ctx, QWidget *parent) : QDialog(parent), ctx_(ctx) {
  setObjectName("FormViewHist");
  setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::WindowTitleHint);
  setSizeGripEnabled(true);
  resize(693, 544);

  ToolBarView = new QToolBar(this);
  ToolBarView->setObjectName("ToolBarView");
  ToolBarView->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  ToolBarView->setIconSize(QSize(20, 20));
  ToolBarView->setMovable(false);

  auto button = [this](const char *name, const char *icon) {
    auto *action = new QAction(QIcon::fromTheme(QString::fromLatin1(icon)), QString(), this);
    action->setObjectName(QString::fromLatin1(name));
    ToolBarView->addAction(action);
    QWidget *widget = ToolBarView->widgetForAction(action);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setMinimumWidth(69);
    return action;
  };
  auto separator = [this](const char *name) {
    QAction *action = ToolBarView->addSeparator();
    action->setObjectName(QString::fromLatin1(name));
    return action;
  };
  tlbSave = button("tlbSave", "document-save");
  tlbLoad = button("tlbLoad", "document-open");
  separator("ToolButton1");
  tlbPrint = button("tlbPrint", "document-print");
  separator("ToolButton2");
  tlbClose = button("tlbClose", "system-log-out");
  tlbReg = button("tlbReg", "list-add");
  separator("ToolButton3");
  Cmb_User = new QComboBox(this);
  Cmb_User->setObjectName("Cmb_User");
  Cmb_User->setEditable(false);
  Cmb_User->setFixedWidth(210);
  Cmb_UserItem = ToolBarView->addWidget(Cmb_User);
  ToolButton4 = separator("ToolButton4");
  tlbNewUser = button("tlbNewUser", "contact-new");

  RE_History = new QTextEdit(this);
  RE_History->setObjectName("RE_History");
  RE_History->setReadOnly(true);
  RE_History->setLineWrapMode(QTextEdit::NoWrap);
  RE_History->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RE_History->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(13);
  RE_History->document()->setDefaultFont(font);
  RE_History->document()->setUndoRedoEnabled(false);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  StatusPanel = new QLabel(StatusBar1);
  StatusPanel->setFixedWidth(350);
  auto *second = new QLabel(StatusBar1);
  second->setFixedWidth(50);
  StatusBar1->addWidget(StatusPanel);
  StatusBar1->addWidget(second);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(ToolBarView);
  L_ReadingDose = new QLabel(this);
  L_ReadingDose->setObjectName(QStringLiteral("L_ReadingDose"));
  L_ReadingDose->setWordWrap(true);
  L_ReadingDose->setMargin(6);
  L_ReadingDose->setTextInteractionFlags(Qt::TextSelectableByMouse);
  L_ReadingDose->hide();
  layout->addWidget(L_ReadingDose);
  layout->addWidget(RE_History, 1);
  layout->addWidget(StatusBar1);

  connect(tlbSave, &QAction::triggered, this, &TFormViewHist::tlbSaveClick);
  connect(tlbLoad, &QAction::triggered, this, &TFormViewHist::tlbLoadClick);
  connect(tlbPrint, &QAction::triggered, this, &TFormViewHist::tlbPrintClick);
  connect(tlbClose, &QAction::triggered, this, &TFormViewHist::tlbCloseClick);
  connect(tlbReg, &QAction::triggered, this, &TFormViewHist::tlbRegClick);
  connect(tlbNewUser, &QAction::triggered, this, &TFormViewHist::tlbNewUserClick);

  PrinterSetup = [this](QPrinter &printer) {
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName("PrinterSetupDialogHist");
    return dialog.exec() == QDialog::Accepted;
  };
  ApplyTexts();
}

TFormViewHist::~TFormViewHist() = default;

QString TFormViewHist::Text(int entry) const {
  return ctx_.state.Texts.at(entry);
}

void TFormViewHist::ApplyTexts() {
  setWindowTitle(Text(177));
  auto apply = [this](QAction *action, int caption, int hint) {
    action->setText(Text(caption));
    action->setToolTip(TextTable::shortHint(Text(hint)));
    action->setStatusTip(TextTable::longHint(Text(hint)));
  };
  apply(tlbSave, 178, 179);
  apply(tlbPrint, 180, 181);
  apply(tlbReg, 182, 183);
  apply(tlbClose, 184, 185);
  apply(tlbNewUser, 24, 25);
  apply(tlbLoad, 191, 192);
  SetHint(Cmb_User, Text(188));
  sdTitle_ = Text(189);
  odTitle_ = Text(190);
}

int TFormViewHist::ShowHistory(std::span<const std::uint8_t> history, const REG_STATE &reg,
                               const QString &doseLine) {
  Tag = reg.UserId < 1 ? 0 : 1;
  L_ReadingDose->setText(doseLine);
  L_ReadingDose->setVisible(!doseLine.isEmpty());
  FillHistory(history.data(), static_cast<int>(history.size()), reg);
  ApplyTexts();
  if (isVisible())
    hide();
  if (QScreen *screen = this->screen())
    move(screen->availableGeometry().center() - rect().center());
  return exec();
}

void TFormViewHist::FillHistory(const std::uint8_t *data, int length, const REG_STATE &reg) {
  const TextTable &texts = ctx_.state.Texts;
  const bool roentgen = ctx_.state.ProgSetting.Roentgen;
  EventTimeTexts timeText;

  QStringList lines;
  lines.reserve(2 + std::max(length, 0) / HistoryRecord::Size);
  QString device = texts.at(149) + u' ' + QString::number(reg.DeviceId);
  if (reg.UserId < 1)
    lines << device + u' ' + texts.at(194);
  else
    lines << device + QStringLiteral(" (") + reg.SecondName + u' ' + reg.FirstName + u' ' +
                 reg.MiddleName + u')';
  lines << texts.at(193) + u' ' + TFormPrintHistory::EventTimeText(QVariant(reg.ActivationTime));

  const QString deviceOn = texts.at(17), deviceOff = texts.at(16), phosphorus = texts.at(14),
                arsenic = texts.at(15), timeAlarm = texts.at(23) + u' ' + texts.at(243) + u' ',
                deName = QStringLiteral(", ") + texts.at(250) + u' ', gamma = texts.at(13),
                doseAlarm = texts.at(18), battery = texts.at(19);
  auto rate = [&](const HistoryRecord &r) { return FormatDose(r.DoseRate, roentgen, true, texts); };
  auto dose = [&](const HistoryRecord &r) { return FormatDose(r.Dose, roentgen, false, texts); };
  WalkHistory(data, length, [&](const HistoryRecord &r, const HistoryEvent &) {
    const QString t = timeText(r.Time) + u' ';
    switch (r.Kind) {
    case 1:
      lines << t + deviceOn + u' ';
      break;
    case 2:
      lines << t + deviceOff + u' ';
      break;
    case 3:
      lines << t + phosphorus;
      break;
    case 4:
      lines << t + arsenic;
      break;
    case 5:
      lines << t + timeAlarm + rate(r) + deName + dose(r);
      break;
    case 16:
      lines << t + gamma + u' ' + rate(r);
      break;
    case 32:
      lines << t + doseAlarm + u' ' + dose(r);
      break;
    case 64:
      lines << t + battery;
      break;
    default:
      break;
    }
  });

  // A new document filled in one insertion (every line break starts a
  // block) and then put in place: filling the document the window lays out
  // costs many times more.
  // The window's first document belongs to the text box, which deletes it.
  QPointer<QTextDocument> old = RE_History->document();
  auto *document = new QTextDocument(RE_History);
  document->setUndoRedoEnabled(false);
  document->setDefaultFont(old->defaultFont());
  QTextCursor cursor(document);
  cursor.insertText(lines.join(QChar::ParagraphSeparator), QTextCharFormat());
  // The two header lines in bold.
  cursor.setPosition(0);
  cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
  cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  QTextCharFormat bold;
  bold.setFontWeight(QFont::Bold);
  cursor.mergeCharFormat(bold);
  RE_History->setDocument(document);
  if (old && old->parent() == RE_History)
    delete old;
  RE_History->moveCursor(QTextCursor::Start);
}

QString TFormViewHist::UserItemText(const QString &second, const QString &first,
                                    const QString &middle) {
  QString text = second + u' ';
  if (!first.isEmpty())
    text += first.left(1) + u'.';
  if (!middle.isEmpty())
    text += middle.left(1) + u'.';
  return text.trimmed();
}

void TFormViewHist::FillUserCombo(const QString &second, const QString &first,
                                  const QString &middle) {
  const int remembered = Cmb_User->currentIndex();
  // Read anew: people added or given an instrument since are offered as
  // they are now. Only people who hold no instrument are offered.
  const std::optional<QList<Person>> people = ctx_.DM->Register().People();
  if (!people)
    return;
  freePeople_.clear();
  Cmb_User->clear();
  int preferred = -1;
  for (const Person &p : *people) {
    if (p.DeviceId >= 0)
      continue;
    freePeople_ << p;
    Cmb_User->addItem(UserItemText(p.SecondName, p.FirstName, p.MiddleName));
    if (preferred < 0 && p.SecondName == second && p.FirstName == first && p.MiddleName == middle)
      preferred = Cmb_User->count() - 1;
  }
  if (preferred >= 0)
    Cmb_User->setCurrentIndex(preferred);
  else if (remembered >= 0 && remembered < Cmb_User->count())
    Cmb_User->setCurrentIndex(remembered);
  else
    Cmb_User->setCurrentIndex(0);
}

int TFormViewHist::SelectedUserKey() {
  if (Cmb_User->count() == 0 || Cmb_User->currentIndex() < 0)
    return -2;
  // The key travels with the item: two people of the same short name are
  // never taken for each other.
  const int index = Cmb_User->currentIndex();
  if (index >= freePeople_.size())
    return -1;
  // Looked up again: deleted or given an instrument at another desk since
  // the list was read, she is not the one to register to.
  const PersonLookup now = ctx_.DM->Register().LookUpPerson(freePeople_.at(index).UserId);
  if (now.outcome != PersonLookup::Outcome::Found || now.person.DeviceId >= 0)
    return -1;
  return now.person.UserId;
}

void TFormViewHist::ShowUserCombo() {
  Cmb_UserItem->setVisible(Cmb_User->count() > 0);
}

void TFormViewHist::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  if (!event->spontaneous())
    FormShow();
}

void TFormViewHist::FormShow() {
  const bool free = Tag == 0;
  if (free)
    FillUserCombo();
  tlbNewUser->setVisible(free);
  tlbReg->setVisible(free);
  ToolButton4->setVisible(free);
  if (free)
    ShowUserCombo();
  else
    Cmb_UserItem->setVisible(false);
}

bool TFormViewHist::event(QEvent *event) {
  if (event->type() == QEvent::StatusTip) {
    StatusPanel->setText(static_cast<QStatusTipEvent *>(event)->tip());
    return true;
  }
  return QDialog::event(event);
}

void TFormViewHist::tlbCloseClick() {
  close();
}

QString TFormViewHist::FolderFor(DialogFolder &dialog) {
  if (dialog.firstUse) {
    const QString history = QDir(ctx_.DataFolder()).filePath(QStringLiteral("History"));
    if (QDir(history).exists() || QDir().mkpath(history)) {
      dialog.folder = history;
      dialog.firstUse = false;
    }
  }
  return dialog.folder;
}

void TFormViewHist::tlbSaveClick() {
  const QString folder = FolderFor(sdRtf_);
  const QString name = ctx_.files.saveFile(this, sdTitle_, folder,
                                           QtFileDialogFilter(QString::fromLatin1(kRtfFilter)),
                                           QStringLiteral("rtf"));
  if (name.isEmpty())
    return;
  sdRtf_.folder = QFileInfo(name).absolutePath();
  QString error;
  // Told here: nothing may leave a slot as an exception.
  if (!SaveRtfFile(name, FromTextDocument(*RE_History->document()), &error))
    ctx_.messages.error(this, FileProblemText(sdTitle_, name, error));
}

void TFormViewHist::tlbLoadClick() {
  const QString folder = FolderFor(odRtf_);
  const QString name = ctx_.files.openFile(this, odTitle_, folder,
                                           QtFileDialogFilter(QString::fromLatin1(kRtfFilter)));
  if (name.isEmpty() || !QFileInfo(name).isFile())
    return;
  odRtf_.folder = QFileInfo(name).absolutePath();
  RtfDocument document;
  try {
    document = LoadRtfFile(name);
  } catch (const std::exception &) {
    // A file that cannot be read shows as nothing.
    document = RtfDocument();
  }
  ToTextDocument(document, RE_History->document());
  RE_History->moveCursor(QTextCursor::Start);
  L_ReadingDose->hide();
}

void TFormViewHist::tlbPrintClick() {
  if (!printer_)
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  if (!PrinterSetup || !PrinterSetup(*printer_))
    return;
  // The indented text goes to the printer; the window keeps its own.
  printer_->setDocName(QString());
  IndentedCopy(*RE_History->document(), kPrintIndent)->print(printer_.get());
}

void TFormViewHist::tlbRegClick() {
  const int userKey = SelectedUserKey();
  if (userKey == -2) {
    ctx_.messages.notice(this, Text(188));
    return;
  }
  if (userKey < 0) {
    ctx_.messages.error(this, Text(67) + u'\n' + Text(186) + u' ' + Text(187));
    return;
  }
  ctx_.FormReg->ApplyTexts();
  if (ctx_.FormReg->exec() != QDialog::Accepted)
    return;
  REG_STATE &reg = ctx_.state.RegState;
  reg.ClearAll = ctx_.FormReg->RB_ClearAll->isChecked();
  reg.UserId = userKey;

  TFormRead &exchange = *ctx_.FormRead;
  exchange.Tag = TFormRead::RegisterMode;
  exchange.ApplyTexts(TFormRead::RegisterMode);
  if (exchange.exec() == QDialog::Accepted) {
    if (TellRegistration(ctx_.DM->Register().RegisterDevice(reg), ctx_.messages, this,
                         ctx_.state.Texts))
      emit peopleChanged();
  }
  close();
}

void TFormViewHist::tlbNewUserClick() {
  TFormUser &editor = *ctx_.FormUser;
  editor.Mode = 0;
  const QString icon = QDir(ctx_.executableFolder).filePath(QStringLiteral("AddUser.ico"));
  if (QFileInfo::exists(icon))
    editor.setWindowIcon(QIcon(icon));
  if (editor.exec() != QDialog::Accepted)
    return;
  emit peopleChanged();
  FillUserCombo(TFormUser::TrimName(editor.EdSecondName->text()),
                TFormUser::TrimName(editor.EdFirstName->text()),
                TFormUser::TrimName(editor.EdMiddleName->text()));
  ShowUserCombo();
}
