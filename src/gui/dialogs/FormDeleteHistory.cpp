#include "dialogs/FormDeleteHistory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <cmath>

#include "common/AppContext.h"
#include "common/OperatorMessages.h"
#include "common/WidgetHints.h"
#include "db/TDM.h"
#include "history/DayCount.h"

namespace {

template <typename W> W *named(W *widget, const char *name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

// A control that keeps its place in the layout while it is hidden, so the
// window does not jump when a criterion is hidden for one opening.
template <typename W> W *keepsPlace(W *widget) {
  QSizePolicy policy = widget->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  widget->setSizePolicy(policy);
  return widget;
}

// The date pickers show a short date with a drop-down calendar; the time
// pickers a time of day with seconds.
QDateTimeEdit *picker(const char *name, bool date, QWidget *parent) {
  QDateTimeEdit *edit = nullptr;
  if (date) {
    edit = new QDateEdit(parent);
    edit->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    edit->setCalendarPopup(true);
  } else {
    edit = new QTimeEdit(parent);
    edit->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  }
  return keepsPlace(named(edit, name));
}

// Whether a stored day count is a finite date the pickers can show.
bool Showable(double days) {
  return std::isfinite(days) && DayCountToDateTime(days).date().isValid();
}

} // namespace

TFormDeleteHistory::TFormDeleteHistory(AppContext &ctx, QWidget *parent)
    : QDialog(parent), ctx_(ctx) {
  setObjectName("FormDeleteHistory");
  setModal(true);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  QPalette background = palette();
  background.setColor(QPalette::Window, QColor(0xD7, 0xE0, 0xFF));
  setPalette(background);
  setAutoFillBackground(true);

  LUser = named(new QLabel(this), "LUser");
  L_SecFirstName = named(new QLabel(this), "L_SecFirstName");
  LMiddleName = named(new QLabel(this), "LMiddleName");
  for (QLabel *name : {L_SecFirstName, LMiddleName}) {
    QFont font = name->font();
    font.setBold(true);
    name->setFont(font);
    name->setTextFormat(Qt::PlainText);
  }

  GBDelete = named(new QGroupBox(this), "GBDelete");
  RB_All = named(new QRadioButton(GBDelete), "RB_All");
  RB_PartHistory = named(new QRadioButton(GBDelete), "RB_PartHistory");
  PanelPart = keepsPlace(named(new QFrame(GBDelete), "PanelPart"));
  PanelPart->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  PanelPart->setMinimumSize(449, 185);

  CB_DateTime = keepsPlace(named(new QCheckBox(PanelPart), "CB_DateTime"));
  L_FromDateTime = keepsPlace(named(new QLabel(PanelPart), "L_FromDateTime"));
  TimeFrom = picker("TimeFrom", false, PanelPart);
  DateFrom = picker("DateFrom", true, PanelPart);
  L_ToDateTime = keepsPlace(named(new QLabel(PanelPart), "L_ToDateTime"));
  TimeTo = picker("TimeTo", false, PanelPart);
  DateTo = picker("DateTo", true, PanelPart);
  CB_Device = keepsPlace(named(new QCheckBox(PanelPart), "CB_Device"));
  cmb_Device = keepsPlace(named(new QComboBox(PanelPart), "cmb_Device"));
  cmb_Device->setEditable(false);
  cmb_Device->setMinimumWidth(145);

  auto *dates = new QGridLayout;
  dates->setHorizontalSpacing(8);
  dates->addWidget(CB_DateTime, 0, 0, 1, 2);
  dates->setRowMinimumHeight(1, 12);
  dates->addWidget(L_FromDateTime, 2, 0, 1, 2);
  dates->addWidget(TimeFrom, 3, 0);
  dates->addWidget(DateFrom, 3, 1);
  dates->setRowMinimumHeight(4, 12);
  dates->addWidget(L_ToDateTime, 5, 0, 1, 2);
  dates->addWidget(TimeTo, 6, 0);
  dates->addWidget(DateTo, 6, 1);
  dates->setRowStretch(7, 1);
  auto *device = new QVBoxLayout;
  device->addWidget(CB_Device);
  device->addWidget(cmb_Device);
  device->addStretch();
  auto *panel = new QHBoxLayout(PanelPart);
  panel->setContentsMargins(8, 12, 16, 12);
  panel->addLayout(dates);
  panel->addSpacing(24);
  panel->addLayout(device, 1);

  auto *choice = new QVBoxLayout(GBDelete);
  choice->setContentsMargins(16, 12, 16, 12);
  choice->addWidget(RB_All);
  choice->addWidget(RB_PartHistory);
  choice->addWidget(PanelPart);

  SB_Delete =
      named(new QPushButton(QIcon::fromTheme(QStringLiteral("edit-delete")), QString(), this),
            "SB_Delete");
  SB_Cancel =
      named(new QPushButton(QIcon::fromTheme(QStringLiteral("process-stop")), QString(), this),
            "SB_Cancel");
  for (QPushButton *button : {SB_Delete, SB_Cancel}) {
    button->setFlat(true);
    button->setAutoDefault(false);
    button->setMinimumSize(129, 30);
  }

  auto *user = new QGridLayout;
  user->setHorizontalSpacing(12);
  user->setVerticalSpacing(2);
  user->addWidget(LUser, 0, 0, Qt::AlignTop);
  user->addWidget(L_SecFirstName, 0, 1);
  user->addWidget(LMiddleName, 1, 1);
  user->setColumnStretch(1, 1);
  auto *buttons = new QHBoxLayout;
  buttons->setSpacing(7);
  buttons->addWidget(SB_Delete);
  buttons->addWidget(SB_Cancel);
  buttons->addStretch();

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 6, 10, 8);
  layout->addLayout(user);
  layout->addSpacing(4);
  layout->addWidget(GBDelete);
  layout->addSpacing(4);
  layout->addLayout(buttons);
  // The window takes the size of its texts, in every language.
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(RB_All, &QRadioButton::clicked, this, &TFormDeleteHistory::RB_PartHistoryClick);
  connect(RB_PartHistory, &QRadioButton::clicked, this, &TFormDeleteHistory::RB_PartHistoryClick);
  for (QDateTimeEdit *p : {TimeFrom, DateFrom, TimeTo, DateTo})
    connect(p, &QDateTimeEdit::dateTimeChanged, this, [this, p] { TimeFromChange(p); });
  connect(SB_Delete, &QPushButton::clicked, this, &TFormDeleteHistory::SB_DeleteClick);
  connect(SB_Cancel, &QPushButton::clicked, this, &TFormDeleteHistory::SB_CancelClick);
  ApplyTexts();
  PanelPart->hide();
}

void TFormDeleteHistory::ApplyTexts() {
  const TextTable &texts = ctx_.state.Texts;
  setWindowTitle(texts.at(114));
  LUser->setText(texts.at(111));
  GBDelete->setTitle(texts.at(100));
  RB_All->setText(texts.at(101));
  SetHint(RB_All, texts.at(102));
  RB_PartHistory->setText(texts.at(103));
  SetHint(RB_PartHistory, texts.at(104));
  CB_Device->setText(texts.at(105));
  SetHint(CB_Device, texts.at(106));
  CB_DateTime->setText(texts.at(107));
  SetHint(CB_DateTime, texts.at(108));
  L_FromDateTime->setText(texts.at(109));
  L_ToDateTime->setText(texts.at(110));
  SB_Delete->setText(texts.at(112));
  SetHint(SB_Delete, texts.at(113));
  SB_Cancel->setText(texts.at(38));
  SetHint(SB_Cancel, texts.at(99));
}

void TFormDeleteHistory::showEvent(QShowEvent *event) {
  if (!event->spontaneous())
    FormShow();
  QDialog::showEvent(event);
}

void TFormDeleteHistory::FormShow() {
  ApplyTexts();
  FillDevices();
  SetUpInterval();
  if (!RB_All->isChecked() && !RB_PartHistory->isChecked())
    RB_All->setChecked(true);
  RB_PartHistoryClick();
}

void TFormDeleteHistory::FillDevices() {
  const std::optional<QList<qint32>> numbers = ctx_.DM->History().HistoryDeviceNumbers();
  const bool any = numbers && !numbers->isEmpty();
  if (any) {
    cmb_Device->clear();
    for (qint32 number : *numbers)
      cmb_Device->addItem(QString::number(number));
    cmb_Device->setCurrentIndex(0);
  } else {
    CB_Device->setChecked(false);
  }
  CB_Device->setVisible(any);
  cmb_Device->setVisible(any);
}

void TFormDeleteHistory::SetUpInterval() {
  // A person without events has no interval to offer.
  const std::optional<std::pair<double, double>> span =
      ctx_.DM->History().FirstAndLastEvent(UserKey);
  const bool found = span && Showable(span->first) && Showable(span->second);
  if (found) {
    firstEvent_ = span->first;
    lastEvent_ = span->second;
  }
  if (!found) {
    CB_DateTime->setChecked(false);
    ShowDateCriterion(false);
    return;
  }
  ShowDateCriterion(true);
  const QDateTime first = DayCountToDateTime(firstEvent_);
  const QDateTime last = DayCountToDateTime(lastEvent_);
  // From the day before the first event to the day after the last. A time
  // picker's value lies inside that range at any time of day, so the times
  // need no limit of their own.
  for (QDateTimeEdit *p : {DateFrom, DateTo}) {
    const QSignalBlocker quiet(p);
    p->setDateRange(first.date().addDays(-1), last.date().addDays(1));
  }
  DateFrom->setDate(first.date());
  TimeFrom->setTime(first.time());
  DateTo->setDate(last.date());
  TimeTo->setTime(last.time());
  firstShown_ = QDateTime(DateFrom->date(), TimeFrom->time());
  lastShown_ = QDateTime(DateTo->date(), TimeTo->time());
}

void TFormDeleteHistory::ShowDateCriterion(bool visible) {
  for (QWidget *w : std::initializer_list<QWidget *>{CB_DateTime, L_FromDateTime, TimeFrom,
                                                     DateFrom, L_ToDateTime, TimeTo, DateTo})
    w->setVisible(visible);
}

void TFormDeleteHistory::RB_PartHistoryClick() {
  PanelPart->setVisible(RB_PartHistory->isChecked());
}

void TFormDeleteHistory::TimeFromChange(QDateTimeEdit *picker) {
  const QDateTime value = picker->dateTime();
  if (value < picker->minimumDateTime())
    picker->setDateTime(picker->minimumDateTime());
  else if (value > picker->maximumDateTime())
    picker->setDateTime(picker->maximumDateTime());
}

void TFormDeleteHistory::Interval(double &begin, double &end) const {
  const auto instant = [](const QDateTimeEdit *date, const QDateTimeEdit *time,
                          const QDateTime &shown, double stored) {
    if (date->date() == shown.date() && time->time() == shown.time())
      return stored;
    return DayCountOf(date->date(), time->time());
  };
  begin = instant(DateFrom, TimeFrom, firstShown_, firstEvent_);
  end = instant(DateTo, TimeTo, lastShown_, lastEvent_);
  if (begin > end)
    std::swap(begin, end);
}

void TFormDeleteHistory::SB_DeleteClick() {
  const bool part = RB_PartHistory->isChecked();
  const bool byDate = part && CB_DateTime->isChecked();
  const bool byDevice = part && CB_Device->isChecked();
  if (part && !byDate && !byDevice) {
    ctx_.messages.notice(this, ctx_.state.Texts.at(115), true);
    return;
  }
  int device = 0;
  if (CB_Device->isChecked() && cmb_Device->currentIndex() >= 0)
    device = cmb_Device->currentText().toInt(); // 0 when it does not parse

  std::optional<std::pair<double, double>> interval;
  if (byDate) {
    double begin = 0, end = 0;
    Interval(begin, end);
    interval = std::pair(begin, end);
  }
  std::optional<qint32> instrument;
  if (byDevice)
    instrument = device;

  // The question names the person and what will go; No is its default.
  const TextTable &t = ctx_.state.Texts;
  HistoryStore &history = ctx_.DM->History();
  const std::optional<qint64> count = history.CountHistory(UserKey, interval, instrument);
  const QString name = (L_SecFirstName->text() + u' ' + LMiddleName->text()).simplified();
  if (count && !ctx_.messages.destructiveQuestion(
                   this, t.text(ProgramText::DeleteHistoryQuestion).arg(*count).arg(name)))
    return;
  setCursor(Qt::WaitCursor);
  const bool ok = count && history.DeleteHistory(UserKey, interval, instrument);
  unsetCursor();
  if (ok) {
    accept();
    return;
  }
  ctx_.messages.error(this, t.text(ProgramText::HistoryNotDeleted));
  reject();
}

void TFormDeleteHistory::SB_CancelClick() {
  reject();
}

void TFormDeleteHistory::done(int result) {
  unsetCursor();
  QDialog::done(result);
}
