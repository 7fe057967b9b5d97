#include "dialogs/FormUser.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "common/AppContext.h"
#include "common/OperatorMessages.h"
#include "common/WidgetHints.h"
#include "db/TDM.h"
#include "lang/ProgramTexts.h"

namespace {

template <typename W> W *named(W *widget, const char *name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

QFont styled(QFont font, bool bold, bool italic, int pixelSize = 0) {
  font.setBold(bold);
  font.setItalic(italic);
  if (pixelSize > 0)
    font.setPixelSize(pixelSize);
  return font;
}

// The red "***" that marks a required name.
QLabel *marker(const char *name, QWidget *parent) {
  auto *label = named(new QLabel(QStringLiteral("***"), parent), name);
  label->setFont(styled(label->font(), true, false, 16));
  label->setStyleSheet(QStringLiteral("color: red;"));
  label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  return label;
}

// A label followed by its marker, 2 pixels to the right of the label's text,
// whatever width the language gives the label.
QHBoxLayout *labelRow(QLabel *label, QLabel *star) {
  auto *row = new QHBoxLayout;
  row->setSpacing(2);
  label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  row->addWidget(label);
  if (star)
    row->addWidget(star, 0, Qt::AlignVCenter);
  row->addStretch();
  return row;
}

} // namespace

TFormUser::TFormUser(AppContext &ctx, QWidget *parent) : QDialog(parent), ctx_(ctx) {
  setObjectName("FormUser");
  setModal(true);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

  auto *frame = Bevel1 = named(new QFrame(this), "Bevel1");
  frame->setStyleSheet(QStringLiteral("QFrame#Bevel1 { border: 2px solid navy; }"));

  LSecondName = named(new QLabel(frame), "LSecondName");
  LFirstName = named(new QLabel(frame), "LFirstName");
  LMiddleName = named(new QLabel(frame), "LMiddleName");
  LSecNameStar = marker("LSecNameStar", frame);
  LFirstNameStar = marker("LFirstNameStar", frame);
  LStar = marker("LStar", frame);
  LNote = named(new QLabel(frame), "LNote");
  LNote->setFont(styled(LNote->font(), true, true));
  LNote->setStyleSheet(QStringLiteral("color: navy;"));

  EdSecondName = named(new QLineEdit(frame), "EdSecondName");
  EdFirstName = named(new QLineEdit(frame), "EdFirstName");
  EdMiddleName = named(new QLineEdit(frame), "EdMiddleName");
  for (QLineEdit *edit : {EdSecondName, EdFirstName, EdMiddleName}) {
    edit->setMinimumSize(313, 24);
    edit->installEventFilter(this);
  }
  setTabOrder(EdSecondName, EdFirstName);
  setTabOrder(EdFirstName, EdMiddleName);

  SB_Save =
      named(new QPushButton(QIcon::fromTheme(QStringLiteral("document-save")), QString(), frame),
            "SB_Save");
  SB_Cancel =
      named(new QPushButton(QIcon::fromTheme(QStringLiteral("process-stop")), QString(), frame),
            "SB_Cancel");
  setTabOrder(EdMiddleName, SB_Save);
  setTabOrder(SB_Save, SB_Cancel);
  for (QPushButton *button : {SB_Save, SB_Cancel}) {
    button->setFont(styled(button->font(), true, true));
    button->setMinimumSize(121, 33);
    button->setAutoDefault(false);
  }

  auto *inner = new QVBoxLayout(frame);
  inner->setContentsMargins(14, 10, 6, 14);
  inner->setSpacing(4);
  inner->addLayout(labelRow(LSecondName, LSecNameStar));
  inner->addWidget(EdSecondName);
  inner->addSpacing(10);
  inner->addLayout(labelRow(LFirstName, LFirstNameStar));
  inner->addWidget(EdFirstName);
  inner->addSpacing(10);
  inner->addLayout(labelRow(LMiddleName, nullptr));
  inner->addWidget(EdMiddleName);
  inner->addSpacing(12);
  auto *note = new QHBoxLayout;
  note->setSpacing(8);
  note->addWidget(LStar, 0, Qt::AlignVCenter);
  note->addWidget(LNote, 1, Qt::AlignVCenter);
  LNote->setWordWrap(false);
  inner->addLayout(note);
  inner->addSpacing(12);
  auto *buttons = new QHBoxLayout;
  buttons->setSpacing(10);
  buttons->addWidget(SB_Save);
  buttons->addWidget(SB_Cancel);
  buttons->addStretch();
  inner->addLayout(buttons);

  auto *outer = new QVBoxLayout(this);
  outer->setContentsMargins(8, 8, 4, 6);
  outer->addWidget(frame);
  // The window takes the size of its texts, in every language.
  outer->setSizeConstraint(QLayout::SetFixedSize);

  connect(SB_Save, &QPushButton::clicked, this, &TFormUser::SB_SaveClick);
  connect(SB_Cancel, &QPushButton::clicked, this, &TFormUser::SB_CancelClick);
  ApplyTexts(Mode);
}

QString TFormUser::TrimName(const QString &text) {
  qsizetype begin = 0, end = text.size();
  while (begin < end && text.at(begin).unicode() <= 32)
    ++begin;
  while (end > begin && text.at(end - 1).unicode() <= 32)
    --end;
  return text.mid(begin, end - begin);
}

void TFormUser::ApplyTexts(int mode) {
  const TextTable &texts = ctx_.state.Texts;
  setWindowTitle(texts.at(mode == 1 ? 29 : 28));
  LSecondName->setText(texts.at(30));
  SetHint(EdSecondName, texts.at(31));
  LFirstName->setText(texts.at(32));
  SetHint(EdFirstName, texts.at(33));
  LMiddleName->setText(texts.at(34));
  SetHint(EdMiddleName, texts.at(35));
  SB_Save->setText(texts.at(36));
  SetHint(SB_Save, texts.at(37));
  SB_Cancel->setText(texts.at(38));
  SetHint(SB_Cancel, texts.at(39));
  LNote->setText(texts.at(45));
}

void TFormUser::showEvent(QShowEvent *event) {
  if (!event->spontaneous())
    FormShow();
  QDialog::showEvent(event);
}

void TFormUser::FormShow() {
  ApplyTexts(Mode);
  const bool edit = Mode == 1;
  EdSecondName->setText(edit ? StoredSecondName : QString());
  EdFirstName->setText(edit ? StoredFirstName : QString());
  EdMiddleName->setText(edit ? StoredMiddleName : QString());
  EdSecondName->setFocus();
  // The markers sit in the label rows: laying the window out again puts each
  // 2 pixels after its label, whatever width the language gave the label.
  Bevel1->layout()->activate();
  layout()->activate();
}

bool TFormUser::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      // Enter walks the three edits in a ring; it never saves.
      if (watched == EdSecondName)
        EdFirstName->setFocus();
      else if (watched == EdFirstName)
        EdMiddleName->setFocus();
      else if (watched == EdMiddleName)
        EdSecondName->setFocus();
      else
        return QDialog::eventFilter(watched, event);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TFormUser::ShowError(int entry) {
  ctx_.messages.error(this, ctx_.state.Texts.at(entry));
}

void TFormUser::SB_CancelClick() {
  reject();
}

void TFormUser::SB_SaveClick() {
  const QString second = TrimName(EdSecondName->text());
  const QString first = TrimName(EdFirstName->text());
  const QString middle = TrimName(EdMiddleName->text());
  if (second.isEmpty() || first.isEmpty()) {
    ShowError(40);
    return;
  }
  // The register keeps names whole or not at all: a longer one is refused,
  // never cut.
  if (second.size() > MaxNameLength || first.size() > MaxNameLength ||
      middle.size() > MaxNameLength) {
    ctx_.messages.error(this, ctx_.state.Texts.text(ProgramText::NameTooLong));
    return;
  }
  if (Mode != 1) {
    if (CheckDuplicate(second, first, middle, -1) == Duplicate::Yes) {
      ShowError(44);
      return;
    }
    if (!ctx_.DM->Register().InsertUser(second, first, middle, -1)) {
      ShowError(42);
      return;
    }
    accept();
    return;
  }
  if (TrimName(StoredSecondName) == second && TrimName(StoredFirstName) == first &&
      TrimName(StoredMiddleName) == middle) {
    accept();
    return;
  }
  if (CheckDuplicate(second, first, middle, EditedUserKey) == Duplicate::Yes) {
    ShowError(44);
    return;
  }
  if (!UpdateUser(second, first, middle)) {
    ShowError(43);
    return;
  }
  accept();
}

TFormUser::Duplicate TFormUser::CheckDuplicate(const QString &second, const QString &first,
                                               const QString &middle, int userKey) {
  // A check that cannot run finds nothing; the write that follows reports
  // the failure.
  const std::optional<bool> found =
      ctx_.DM->Register().FindDuplicatePerson(second, first, middle, userKey);
  return found.value_or(false) ? Duplicate::Yes : Duplicate::No;
}

bool TFormUser::UpdateUser(const QString &second, const QString &first, const QString &middle) {
  return ctx_.DM->Register().UpdatePerson(EditedUserKey, second, first, middle);
}
