#include "exchanges/FormRead.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "common/AppContext.h"
#include "common/OperatorMessages.h"
#include "common/WholeTitles.h"
#include "db/TDM.h"
#include "exchange/AttemptText.h"
#include "exchanges/ProgressBarHistory.h"
#include "lang/ProgramTexts.h"
#include "link/IrdaTransport.h"
#include "link/LinkCodes.h"

namespace {

template <typename W> W *named(W *widget, const char *name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

// The infrared indicator: a lit diode of the given colour with its rays.
QPixmap DiodePicture(const QColor &colour) {
  QPixmap picture(40, 40);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(colour.darker(160), 2));
  p.setBrush(colour);
  p.drawEllipse(QRectF(4, 12, 16, 16));
  for (int i = -1; i <= 1; ++i)
    p.drawLine(QPointF(24, 20 + 6 * i), QPointF(36, 20 + 10 * i));
  return picture;
}

// Two devices joined by a beam: an instrument is connected.
QPixmap ConnectedPicture() {
  QPixmap picture(40, 40);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::darkGray, 2));
  p.setBrush(QColor(200, 200, 210));
  p.drawRect(QRectF(2, 10, 10, 20));
  p.drawRect(QRectF(28, 10, 10, 20));
  p.setPen(QPen(QColor(0, 160, 0), 3));
  p.drawLine(QPointF(13, 20), QPointF(27, 20));
  return picture;
}

QLabel *Picture(const QPixmap &pixmap, const char *name) {
  auto *label = named(new QLabel, name);
  label->setPixmap(pixmap);
  label->setFixedSize(pixmap.size());
  return label;
}

} // namespace

TFormRead::TFormRead(AppContext &ctx, QWidget *parent) : QDialog(parent), ctx_(ctx) {
  setObjectName(QStringLiteral("FormRead"));
  setWindowTitle(QStringLiteral("Read device"));
  setModal(true);

  L_Instruction = named(new QLabel(QStringLiteral("Set the device on PC communication mode"), this),
                        "L_Instruction");
  L_Instruction->setWordWrap(true);
  QFont bold = L_Instruction->font();
  bold.setBold(true);
  L_Instruction->setFont(bold);

  ImageIrGreen = Picture(DiodePicture(QColor(40, 200, 40)), "ImageIrGreen");
  ImageIrRed = Picture(DiodePicture(QColor(220, 40, 40)), "ImageIrRed");
  ImConnect = Picture(ConnectedPicture(), "ImConnect");
  ImageIrGreen->hide();
  ImConnect->hide();

  lbxDevices = named(new QListWidget(this), "lbxDevices");
  lbxDevices->setFixedHeight(lbxDevices->fontMetrics().height() * 2 + 8);

  SB_Cancel = named(new QPushButton(QStringLiteral("Cancel"), this), "SB_Cancel");

  PBarHistory = named(new QProgressBar(this), "PBarHistory");
  PBarHistory->setRange(0, 100);
  PBarHistory->setValue(0);
  PBarHistory->setTextVisible(false);
  PBarHistory->setFixedHeight(12);
  // The bar keeps its room while hidden, so nothing moves when it appears.
  QSizePolicy barPolicy = PBarHistory->sizePolicy();
  barPolicy.setRetainSizeWhenHidden(true);
  PBarHistory->setSizePolicy(barPolicy);
  PBarHistory->hide();
  progress_ = std::make_unique<ProgressBarHistory>(PBarHistory);

  StatusBar1 = named(new QStatusBar(this), "StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  for (int i = 0; i < 2; ++i) {
    panels_[i] = new QLabel(StatusBar1);
    panels_[i]->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i));
    panels_[i]->setMinimumWidth(120);
    panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // The first panel takes what its text needs (the attempt after a failed
    // one), the second the rest (the cause).
    StatusBar1->addPermanentWidget(panels_[i], i);
  }

  TimerIm = named(new QTimer(this), "TimerIm");
  TimerIm->setInterval(1000);
  Timer_Read = named(new QTimer(this), "Timer_Read");

  auto *pictures = new QHBoxLayout;
  pictures->addWidget(ImageIrRed);
  pictures->addWidget(ImageIrGreen);
  pictures->addWidget(ImConnect);
  pictures->addSpacing(8);
  pictures->addWidget(lbxDevices, 1);

  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(SB_Cancel);
  buttons->addStretch();

  auto *content = new QVBoxLayout;
  content->setContentsMargins(10, 10, 10, 4);
  content->addWidget(L_Instruction);
  content->addLayout(pictures);
  content->addLayout(buttons);
  content->setSpacing(8);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addLayout(content);
  layout->addWidget(PBarHistory);
  layout->addWidget(StatusBar1);
  FitHeight();

  connect(SB_Cancel, &QPushButton::clicked, this, &TFormRead::SB_CancelClick);
  connect(TimerIm, &QTimer::timeout, this, &TFormRead::TimerImTimer);
  connect(Timer_Read, &QTimer::timeout, this, &TFormRead::Timer_ReadTimer);
}

TFormRead::~TFormRead() = default;

QString TFormRead::Text(int entry) const {
  return ctx_.state.Texts.at(entry);
}

void TFormRead::ApplyTexts(int kind) {
  int caption = 155;
  switch (kind) {
  case RegisterMode:
    caption = 156;
    break;
  case WriteParametersMode:
    caption = 157;
    break;
  case ClearHistoryMode:
    caption = 79;
    break;
  case ClearDoseMode:
    caption = 82;
    break;
  default:
    break;
  }
  setWindowTitle(Text(caption));
  L_Instruction->setText(Text(158));
  SB_Cancel->setText(Text(38));
  FitHeight();
}

void TFormRead::FitHeight() {
  // A fixed width, wider only for a long title; the instruction may wrap
  // onto a second line.
  const int Width = std::max(380, WholeTitles::TitleWidth(this));
  layout()->activate();
  const int height = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(Width)
                                                   : layout()->totalSizeHint().height();
  setFixedSize(Width, height);
}

QString TFormRead::StatusPanel(int panel) const {
  return panel == 0 || panel == 1 ? panels_[panel]->text() : QString();
}

void TFormRead::SetStatusPanel(int panel, const QString &text) {
  if (panel == 0 || panel == 1)
    panels_[panel]->setText(text);
}

void TFormRead::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  if (!event->spontaneous())
    FormShow();
}

InstrumentSession &TFormRead::Session() {
  if (!session_) {
    session_ = std::make_unique<InstrumentSession>(ctx_.state.Irda, ctx_.DM, ctx_.state.clock);
    session_->SetObserver(this);
  }
  return *session_;
}

bool TFormRead::ConnectionOpen() const {
  return session_ && session_->ConnectionOpen();
}

void TFormRead::FormShow() {
  result_ = ExchangeResult{};
  attempts_ = 0;
  cancelRequested_ = false;
  // A fresh session for every showing: the transport and the data module
  // are the ones in use now.
  session_.reset();
  Session();
  lbxDevices->clear();
  TimerImTag = 0;
  TimerIm->start();
  Timer_Read->start(AttemptIntervalMs);
  TimerImTimer();
}

void TFormRead::FormClose() {
  Timer_Read->stop();
  TimerIm->stop();
  SetStatusPanel(0, QString());
  SetStatusPanel(1, QString());
  PBarHistory->hide();
  Tag = 0;
}

void TFormRead::done(int result) {
  FormClose();
  QDialog::done(result);
}

void TFormRead::reject() {
  // The running attempt stops at its next command or receive.
  if (attemptRunning_) {
    cancelRequested_ = true;
    Session().RequestCancel();
    return;
  }
  QDialog::reject();
}

void TFormRead::SB_CancelClick() {
  reject();
}

void TFormRead::TimerImTimer() {
  if (TimerImTag != 0) {
    ImageIrRed->hide();
    ImageIrGreen->hide();
    ImConnect->show();
  } else if (!ImageIrRed->isHidden() || !ImageIrGreen->isHidden()) {
    ImageIrRed->setVisible(ImageIrRed->isHidden());
    ImageIrGreen->setVisible(ImageIrGreen->isHidden());
  } else {
    ImConnect->hide();
    ImageIrRed->show();
    ImageIrGreen->hide();
  }
}

void TFormRead::StatusChanged(Status status, int code) {
  switch (status) {
  case Status::Searching:
    SetStatusPanel(0, Text(159));
    break;
  case Status::Finding:
    SetStatusPanel(1, Text(160));
    break;
  case Status::NotFound:
    SetStatusPanel(1, code == 0 ? Text(161) : Text(161) + u' ' + QString::number(code));
    ShowPortProblem(code);
    break;
  case Status::Connected:
    // Connected is not yet done: the panel waits for what the commands say.
    SetStatusPanel(0, Text(162));
    SetStatusPanel(1, QString());
    break;
  case Status::ConnectFailed:
    SetStatusPanel(1, Text(163));
    break;
  case Status::ReadDone:
    SetStatusPanel(1, Text(265));
    break;
  case Status::Registered:
    SetStatusPanel(1, Text(266));
    break;
  case Status::Written:
    SetStatusPanel(1, Text(267));
    break;
  case Status::ReadFailed:
    SetStatusPanel(1, Text(164));
    break;
  case Status::WriteFailed:
    SetStatusPanel(1, Text(268));
    break;
  }
  StatusBar1->repaint();
}

void TFormRead::DevicesFound(int count, const QString &firstName) {
  lbxDevices->clear();
  TimerImTag = count;
  if (!firstName.isEmpty())
    lbxDevices->addItem(firstName);
}

QString TFormRead::ProgramTextNow(ProgramText text) const {
  return ctx_.state.Texts.text(text);
}

void TFormRead::ShowPortProblem(int code) {
  ProgramText cause;
  switch (code) {
  case LinkPortMissing:
    cause = ProgramText::PortMissing;
    break;
  case LinkPortBusy:
    cause = ProgramText::PortBusy;
    break;
  case LinkPortNoPermission:
    cause = ProgramText::PortNoPermission;
    break;
  case LinkPortFailed:
    cause = ProgramText::PortFailed;
    break;
  default:
    return;
  }
  // The device list keeps the cause between attempts, where the status
  // panels are emptied.
  const QString text = ProgramTextNow(cause).arg(ctx_.state.ProgSetting.PortIr);
  SetStatusPanel(1, text);
  lbxDevices->clear();
  lbxDevices->addItem(text);
  lbxDevices->item(0)->setToolTip(text);
}

void TFormRead::ShowFailedAttempt() {
  const TextTable &texts = ctx_.state.Texts;
  // A port that cannot be opened keeps the cause the search showed.
  const bool portProblem =
      result_.SearchCode <= LinkPortMissing && result_.SearchCode >= LinkPortFailed;
  const QString cause = portProblem && lbxDevices->count() > 0 ? lbxDevices->item(0)->text()
                                                               : FailedAttemptCause(result_, texts);
  SetStatusPanel(0, FailedAttemptText(attempts_, texts));
  SetStatusPanel(1, cause);
  panels_[1]->setToolTip(cause);
  StatusBar1->repaint();
}

void TFormRead::ModemLinesReported(int lines) {
  const QString on = ProgramTextNow(ProgramText::LineOn);
  const QString off = ProgramTextNow(ProgramText::LineOff);
  lbxDevices->addItem(
      ProgramTextNow(ProgramText::ModemLines)
          .arg((lines & ModemLineDsr) ? on : off, (lines & ModemLineDcd) ? on : off));
}

void TFormRead::Connecting() {
  ImageIrRed->hide();
  ImageIrGreen->hide();
  ImConnect->show();
  ImConnect->repaint();
}

void TFormRead::TransferStarted() {
  PBarHistory->setValue(PBarHistory->minimum());
  PBarHistory->show();
}

void TFormRead::TransferEnded() {
  PBarHistory->setValue(PBarHistory->maximum());
}

HistoryProgress *TFormRead::Progress() {
  return progress_.get();
}

void TFormRead::Breathe() {
  QCoreApplication::processEvents();
}

void TFormRead::KeepResult() {
  AppState &state = ctx_.state;
  REG_STATE &reg = state.RegState;
  const ExchangeResult &r = result_;
  if (r.DeviceId != 0)
    reg.DeviceId = r.DeviceId;
  if (r.HasActivationTime && Tag != ReadInfoMode && Tag != WriteParametersMode)
    reg.ActivationTime = r.ActivationTime;
  switch (Tag) {
  case ReadHistoryMode:
    if (r.outcome == ExchangeOutcome::Done) {
      reg.UserId = r.holder.UserId;
      reg.SecondName = r.holder.SecondName;
      reg.FirstName = r.holder.FirstName;
      reg.MiddleName = r.holder.MiddleName;
    }
    break;
  case ReadInfoMode:
  case WriteParametersMode:
    if (r.outcome == ExchangeOutcome::Done || r.outcome == ExchangeOutcome::BadActivationTime)
      state.LastReadParams = r.Params;
    break;
  case ClearHistoryMode:
  case ClearDoseMode:
    if (r.outcome == ExchangeOutcome::Done || r.outcome == ExchangeOutcome::NotRegistered)
      reg.UserId = r.holder.UserId;
    break;
  default:
    break;
  }
}

void TFormRead::Timer_ReadTimer() {
  Timer_Read->stop();
  if (ConnectionOpen()) {
    session_->CloseConnection();
    Timer_Read->start(AttemptIntervalMs);
    return;
  }
  if (Tag < ReadHistoryMode || Tag > ClearDoseMode) {
    // No exchange of that kind: nothing is sent.
    done(QDialog::Rejected);
    return;
  }
  SetStatusPanel(0, QString());
  SetStatusPanel(1, QString());

  // An exception out of the attempt (shown by the application) leaves the
  // window waiting: the next tick closes what the attempt left open.
  struct AttemptScope {
    TFormRead &form;
    bool finished = false;
    ~AttemptScope() {
      if (finished)
        return;
      form.attemptRunning_ = false;
      form.cancelRequested_ = false;
      form.Timer_Read->start(form.AttemptIntervalMs);
    }
  } scope{*this};
  attemptRunning_ = true;
  const AppState &state = ctx_.state;
  ExchangeRequest request;
  request.KeepHistory = state.KeepHistoryAfterRead;
  request.ClearAll = state.RegState.ClearAll;
  request.ParamsToWrite = state.ParamsToWrite;
  InstrumentSession &session = Session();
  session.ConnectPauseMs = ConnectPauseMs;
  result_ = session.Run(static_cast<ExchangeMode>(Tag), request);
  ++attempts_;
  scope.finished = true;
  KeepResult();
  SetStatusPanel(0, QString());
  SetStatusPanel(1, QString());

  int close = -1; // no close: next attempt
  switch (result_.outcome) {
  case ExchangeOutcome::BadActivationTime:
    ctx_.messages.error(this, Text(227));
    close = QDialog::Accepted;
    break;
  case ExchangeOutcome::Done:
    Breathe();
    close = QDialog::Accepted;
    break;
  case ExchangeOutcome::NotRegistered:
    ctx_.messages.error(this, Text(282));
    close = QDialog::Accepted;
    break;
  case ExchangeOutcome::SocketNotCreated:
    ctx_.messages.error(this, Text(228));
    close = QDialog::Rejected;
    break;
  case ExchangeOutcome::FilingFailed:
    ctx_.messages.error(this, Text(67));
    close = QDialog::Rejected;
    break;
  case ExchangeOutcome::Cancelled:
    close = QDialog::Rejected;
    break;
  case ExchangeOutcome::LinkFailed:
    ShowFailedAttempt();
    Breathe();
    if (cancelRequested_)
      close = QDialog::Rejected;
    break;
  }
  attemptRunning_ = false;
  cancelRequested_ = false;
  if (close >= 0)
    done(close);
  else
    Timer_Read->start(AttemptIntervalMs);
}
