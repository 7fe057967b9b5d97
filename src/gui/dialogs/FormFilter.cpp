#include "dialogs/FormFilter.h"

#include "common/AppContext.h"
#include "common/WidgetHints.h"
#include "db/TDM.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimeEdit>
#include <algorithm>

namespace {

const QColor FormColour(0xAF, 0xBD, 0xE4);
const QColor PanelColour(0xCB, 0xD5, 0xED);

// Where the pieces of the window sit when their texts fit.
constexpr int ClientWidth = 639;
constexpr int PanelBorderWidth = 1;
constexpr QPoint PanelDTPos(14, 21);
constexpr int PanelDTHeight = 78;
constexpr QRect PanelEventRect(12, 118, 263, 171);
constexpr QRect PanelDeviceRect(300, 118, 263, 67);
constexpr int ButtonsTop = 297;
constexpr int ButtonHeight = 34;
constexpr int BottomMargin = 7;
constexpr int RightMargin = 8;
constexpr std::array<int, 4> ButtonLefts{8, 163, 336, 494};
constexpr int EventBoxStep = 19;

void Colour(QWidget *w, const QColor &c) {
  QPalette p = w->palette();
  p.setColor(QPalette::Window, c);
  w->setPalette(p);
  w->setAutoFillBackground(true);
}

QFrame *MakePanel(QWidget *parent, const char *name) {
  auto *panel = new QFrame(parent);
  panel->setObjectName(name);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setLineWidth(PanelBorderWidth);
  Colour(panel, PanelColour);
  return panel;
}

template <class W> W *Make(QWidget *parent, const char *name) {
  auto *w = new W(parent);
  w->setObjectName(name);
  return w;
}

// Puts a panel's switch on the panel's upper edge, as a frame's title.
void PlaceOnEdge(QCheckBox *box, const QFrame *panel) {
  box->resize(box->sizeHint());
  box->move(panel->x() + 10, panel->y() - box->height() / 2);
  box->raise();
}

int Right(const QWidget *w) {
  return w->x() + w->width();
}
int Bottom(const QWidget *w) {
  return w->y() + w->height();
}

} // namespace

TFormFilter::TFormFilter(AppContext &ctx, QWidget *parent) : QDialog(parent), ctx_(ctx) {
  setObjectName("FormFilter");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  Colour(this, FormColour);

  PanelDT = MakePanel(this, "PanelDT");
  L_FromDateTime = Make<QLabel>(PanelDT, "L_FromDateTime");
  TimeFrom = Make<QTimeEdit>(PanelDT, "TimeFrom");
  DateFrom = Make<QDateEdit>(PanelDT, "DateFrom");
  L_ToDateTime = Make<QLabel>(PanelDT, "L_ToDateTime");
  TimeTo = Make<QTimeEdit>(PanelDT, "TimeTo");
  DateTo = Make<QDateEdit>(PanelDT, "DateTo");
  Lformat = Make<QLabel>(PanelDT, "Lformat");
  LDateFormat = Make<QLabel>(PanelDT, "LDateFormat");
  LformatTo = Make<QLabel>(PanelDT, "LformatTo");
  LDateFormatTo = Make<QLabel>(PanelDT, "LDateFormatTo");
  for (QTimeEdit *t : {TimeFrom, TimeTo})
    t->setDisplayFormat("HH:mm:ss");
  for (QDateEdit *d : {DateFrom, DateTo}) {
    d->setDisplayFormat("dd.MM.yyyy");
    d->setCalendarPopup(true);
  }
  CB_DateTime = Make<QCheckBox>(this, "CB_DateTime");

  PanelEvent = MakePanel(this, "PanelEvent");
  CB_Alarm_Gamma = Make<QCheckBox>(PanelEvent, "CB_Alarm_Gamma");
  CB_Alarm_Phosphorum = Make<QCheckBox>(PanelEvent, "CB_Alarm_Phosphorum");
  CB_Alarm_Arsenium = Make<QCheckBox>(PanelEvent, "CB_Alarm_Arsenium");
  CB_OnOff = Make<QCheckBox>(PanelEvent, "CB_OnOff");
  CB_RecHand = Make<QCheckBox>(PanelEvent, "CB_RecHand");
  CB_TimeAlarm = Make<QCheckBox>(PanelEvent, "CB_TimeAlarm");
  CB_DEAlarm = Make<QCheckBox>(PanelEvent, "CB_DEAlarm");
  CB_Battary = Make<QCheckBox>(PanelEvent, "CB_Battary");
  CB_Event = Make<QCheckBox>(this, "CB_Event");

  PanelDevice = MakePanel(this, "PanelDevice");
  cmb_Device = Make<QComboBox>(PanelDevice, "cmb_Device");
  cmb_Device->setEditable(true);
  // Typed text is read as it stands; Enter does not add it to the list.
  cmb_Device->setInsertPolicy(QComboBox::NoInsert);
  CB_OnDevice = Make<QCheckBox>(this, "CB_OnDevice");

  SB_Apply = Make<QPushButton>(this, "SB_Apply");
  SB_CancelFilter = Make<QPushButton>(this, "SB_CancelFilter");
  SB_ClearForm = Make<QPushButton>(this, "SB_ClearForm");
  SB_Close = Make<QPushButton>(this, "SB_Close");
  // None of the buttons answers Enter: a number typed into the instrument
  // list must not apply the filter by itself.
  for (QPushButton *b : {SB_Apply, SB_CancelFilter, SB_ClearForm, SB_Close})
    b->setAutoDefault(false);

  CB_CancelFilter = Make<QCheckBox>(this, "CB_CancelFilter");
  CB_CancelFilter->hide();

  connect(CB_Event, &QCheckBox::toggled, this, &TFormFilter::CB_EventClick);
  connect(CB_DateTime, &QCheckBox::toggled, this, &TFormFilter::CB_DateTimeClick);
  connect(CB_OnDevice, &QCheckBox::toggled, this, &TFormFilter::CB_OnDeviceClick);
  connect(CB_CancelFilter, &QCheckBox::toggled, this, &TFormFilter::CB_CancelFilterClick);
  connect(SB_Apply, &QPushButton::clicked, this, &TFormFilter::SB_ApplyClick);
  connect(SB_CancelFilter, &QPushButton::clicked, this, &TFormFilter::SB_CancelFilterClick);
  connect(SB_ClearForm, &QPushButton::clicked, this, &TFormFilter::SB_ClearFormClick);
  connect(SB_Close, &QPushButton::clicked, this, &QDialog::reject);

  ApplyTexts();
  FormCreate();
  CB_EventClick();
  CB_DateTimeClick();
  CB_OnDeviceClick();
  LayoutWindow();
}

void TFormFilter::FormCreate() {
  // Whole seconds: the pickers show no more, and the interval uses what
  // they show.
  const QDateTime now = ctx_.state.clock->now();
  const QTime nowTime(now.time().hour(), now.time().minute(), now.time().second());
  const QDateTime weekAgo = now.addDays(-7);
  TimeTo->setTime(nowTime);
  DateTo->setDate(now.date());
  TimeFrom->setTime(nowTime);
  DateFrom->setDate(weekAgo.date());
}

std::array<QCheckBox *, FilterEventCount> TFormFilter::EventBoxes() const {
  return {CB_Alarm_Gamma, CB_Alarm_Phosphorum, CB_Alarm_Arsenium, CB_OnOff,
          CB_RecHand,     CB_TimeAlarm,        CB_DEAlarm,        CB_Battary};
}

std::array<QCheckBox *, FilterEventCount> TFormFilter::EventBoxesShown() const {
  return {CB_Alarm_Gamma, CB_DEAlarm, CB_Alarm_Phosphorum, CB_Alarm_Arsenium,
          CB_TimeAlarm,   CB_Battary, CB_RecHand,          CB_OnOff};
}

void TFormFilter::ApplyTexts() {
  const TextTable &t = ctx_.state.Texts;
  setWindowTitle(t.at(116));
  CB_DateTime->setText(t.at(107));
  SetHint(CB_DateTime, t.at(119));
  for (QTimeEdit *w : {TimeFrom, TimeTo})
    SetHint(w, t.at(135));
  for (QDateEdit *w : {DateFrom, DateTo})
    SetHint(w, t.at(137));
  L_FromDateTime->setText(t.at(109));
  L_ToDateTime->setText(t.at(110));
  Lformat->setText(t.at(134));
  LformatTo->setText(t.at(134));
  LDateFormat->setText(t.at(136));
  LDateFormatTo->setText(t.at(136));

  CB_Event->setText(t.at(117));
  SetHint(CB_Event, t.at(118));
  const struct {
    QCheckBox *box;
    int text;
    int hint; // -1: none
  } events[] = {{CB_Alarm_Gamma, 13, 124},    {CB_Alarm_Phosphorum, 14, 122},
                {CB_Alarm_Arsenium, 15, 123}, {CB_OnOff, 120, 121},
                {CB_RecHand, 138, 139},       {CB_TimeAlarm, 23, -1},
                {CB_DEAlarm, 18, 140},        {CB_Battary, 19, 143}};
  for (const auto &e : events) {
    e.box->setText(t.at(e.text));
    if (e.hint >= 0)
      SetHint(e.box, t.at(e.hint));
  }

  CB_OnDevice->setText(t.at(126));
  SetHint(CB_OnDevice, t.at(127));
  SetHint(cmb_Device, t.at(125));

  SB_Apply->setText(t.at(128));
  SetHint(SB_Apply, t.at(129));
  SB_CancelFilter->setText(t.at(132));
  SetHint(SB_CancelFilter, t.at(133));
  SB_ClearForm->setText(t.at(141));
  SetHint(SB_ClearForm, t.at(142));
  SB_Close->setText(t.at(38));
  SetHint(SB_Close, t.at(131));
  CB_CancelFilter->setText(t.at(132));
  SetHint(CB_CancelFilter, t.at(133));
}

void TFormFilter::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  if (!event->spontaneous())
    FormShow();
}

void TFormFilter::FormShow() {
  ApplyTexts();
  // The panels behind the date row and the event boxes explain their switch.
  PanelDT->setToolTip(CB_DateTime->toolTip());
  PanelDT->setStatusTip(CB_DateTime->statusTip());
  PanelEvent->setToolTip(CB_Event->toolTip());
  PanelEvent->setStatusTip(CB_Event->statusTip());
  LayoutWindow();
  CB_EventClick();
  CB_DateTimeClick();
  CB_OnDeviceClick();
  FillDeviceList();
  if (const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr) {
    QRect r = frameGeometry();
    r.moveCenter(owner->frameGeometry().center());
    move(r.topLeft());
  }
}

void TFormFilter::FillDeviceList() {
  cmb_Device->clear();
  // Only numbers a filter can match are offered (history/HistoryStore.h).
  if (const auto numbers = ctx_.DM ? ctx_.DM->History().StoredDeviceNumbers() : std::nullopt)
    for (qint32 number : *numbers)
      cmb_Device->addItem(QString::number(number));
  if (cmb_Device->count() > 0) {
    CB_OnDevice->setEnabled(true);
    cmb_Device->setCurrentIndex(0);
  } else {
    CB_OnDevice->setChecked(false);
    CB_OnDevice->setEnabled(false);
    cmb_Device->setEnabled(false);
  }
}

void TFormFilter::LayoutDateRow() {
  for (QWidget *w :
       std::initializer_list<QWidget *>{L_FromDateTime, TimeFrom, DateFrom, L_ToDateTime, TimeTo,
                                        DateTo, Lformat, LformatTo, LDateFormat, LDateFormatTo})
    w->resize(w->sizeHint());
  const int pickerTop = 18;
  const int labelTop = pickerTop + (TimeFrom->height() - L_FromDateTime->height()) / 2;
  L_FromDateTime->move(2, labelTop);
  TimeFrom->move(Right(L_FromDateTime) + 5, pickerTop);
  DateFrom->move(Right(TimeFrom), pickerTop);
  L_ToDateTime->move(Right(DateFrom) + 15, labelTop);
  TimeTo->move(Right(L_ToDateTime) + 3, pickerTop);
  DateTo->move(Right(TimeTo), pickerTop);
  const int formatTop = Bottom(TimeFrom) + 2;
  Lformat->move(TimeFrom->x() + 2, formatTop);
  LDateFormat->move(DateFrom->x() + 2, formatTop);
  LformatTo->move(TimeTo->x() + 2, formatTop);
  LDateFormatTo->move(DateTo->x() + 2, formatTop);
  PanelDT->setGeometry(PanelDTPos.x(), PanelDTPos.y(),
                       Right(DateTo) + L_FromDateTime->x() + PanelBorderWidth + 7,
                       std::max(PanelDTHeight, Bottom(Lformat) + 6));
}

void TFormFilter::LayoutWindow() {
  LayoutDateRow();
  PlaceOnEdge(CB_DateTime, PanelDT);

  // Event boxes stacked in the order the panel shows them.
  const int top = 13;
  int step = EventBoxStep, widest = 0;
  for (QCheckBox *b : EventBoxesShown()) {
    b->resize(b->sizeHint());
    step = std::max(step, b->height());
    widest = std::max(widest, b->width());
  }
  int y = top;
  for (QCheckBox *b : EventBoxesShown()) {
    b->move(12, y);
    y += step;
  }
  QRect events = PanelEventRect;
  events.moveTop(std::max(PanelEventRect.top(), Bottom(PanelDT) + 19));
  events.setWidth(std::max(events.width(), widest + 24));
  events.setHeight(std::max(events.height(), y + 4));
  PanelEvent->setGeometry(events);
  PlaceOnEdge(CB_Event, PanelEvent);

  QRect device = PanelDeviceRect;
  device.moveTopLeft({std::max(device.left(), Right(PanelEvent) + 25), events.top()});
  device.setWidth(std::max(device.width(), CB_OnDevice->sizeHint().width() + 24));
  const int comboHeight = cmb_Device->sizeHint().height();
  device.setHeight(std::max(device.height(), 24 + comboHeight + 12));
  PanelDevice->setGeometry(device);
  cmb_Device->setGeometry(12, 24, device.width() - 24, comboHeight);
  PlaceOnEdge(CB_OnDevice, PanelDevice);

  // The buttons along the bottom, each widened (pushing the next along) when
  // its text needs more room.
  const std::array<QPushButton *, 4> buttons{SB_Apply, SB_CancelFilter, SB_ClearForm, SB_Close};
  const int buttonsTop =
      std::max(ButtonsTop, std::max(Bottom(PanelEvent), Bottom(PanelDevice)) + 8);
  int shift = 0;
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    const int left = ButtonLefts[i] + shift;
    const int slot = (i + 1 < buttons.size() ? ButtonLefts[i + 1] : ClientWidth - RightMargin + 5) -
                     ButtonLefts[i] - 5;
    const int width = std::max(slot, buttons[i]->sizeHint().width() + 8);
    shift += width - slot;
    buttons[i]->setGeometry(left, buttonsTop, width, ButtonHeight);
  }

  const int width = std::max({ClientWidth, Right(PanelDT) + PanelDTPos.x(),
                              Right(PanelDevice) + RightMargin, Right(SB_Close) + RightMargin});
  setFixedSize(width, buttonsTop + ButtonHeight + BottomMargin);
}

HistoryFilterChoice TFormFilter::Choice() const {
  HistoryFilterChoice c;
  c.OnDateTime = CB_DateTime->isChecked();
  c.DateFrom = DateFrom->date();
  c.TimeFrom = TimeFrom->time();
  c.DateTo = DateTo->date();
  c.TimeTo = TimeTo->time();
  c.OnDevice = CB_OnDevice->isChecked();
  c.DeviceText = cmb_Device->currentText();
  c.OnEvent = CB_Event->isChecked();
  const auto boxes = EventBoxes();
  for (std::size_t i = 0; i < boxes.size(); ++i)
    c.Events[i] = boxes[i]->isChecked();
  return c;
}

void TFormFilter::CB_EventClick() {
  const bool on = CB_Event->isChecked();
  for (QCheckBox *b : EventBoxes())
    b->setEnabled(on);
  if (on)
    CB_CancelFilter->setChecked(false);
}

void TFormFilter::CB_DateTimeClick() {
  const bool on = CB_DateTime->isChecked();
  for (QWidget *w : std::initializer_list<QWidget *>{TimeFrom, DateFrom, TimeTo, DateTo})
    w->setEnabled(on);
  if (on)
    CB_CancelFilter->setChecked(false);
}

void TFormFilter::CB_OnDeviceClick() {
  const bool on = CB_OnDevice->isChecked();
  cmb_Device->setEnabled(on);
  if (on)
    CB_CancelFilter->setChecked(false);
}

void TFormFilter::CB_CancelFilterClick() {
  if (!CB_CancelFilter->isChecked())
    return;
  CB_OnDevice->setChecked(false);
  CB_Event->setChecked(false);
  CB_DateTime->setChecked(false);
  for (QCheckBox *b : EventBoxes())
    b->setChecked(false);
}

void TFormFilter::SB_ApplyClick() {
  Criteria = BuildHistoryCriteria(Choice());
  accept();
}

void TFormFilter::SB_CancelFilterClick() {
  Criteria = {};
  accept();
}

void TFormFilter::SB_ClearFormClick() {
  CB_DateTime->setChecked(false);
  for (QCheckBox *b : EventBoxes())
    b->setChecked(false);
  CB_Event->setChecked(false);
  CB_OnDevice->setChecked(false);
}
