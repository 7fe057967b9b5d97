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
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "common/AppContext.h"
#include "common/OperatorMessages.h"
#include "db/TDM.h"
#include "exchanges/ProgressBarHistory.h"
#include "history/DayCount.h"
#include "link/InstrumentProtocol.h"
#include "link/LinkCodes.h"
#include "link/ParameterBlock.h"

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

// The current local time to the second, as a day count (the instrument keeps
// whole seconds).
double NowToTheSecond(const QDateTime &now) {
  const QTime t = now.time();
  return DayCountOf(now.date(), QTime(t.hour(), t.minute(), t.second()));
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
    StatusBar1->addPermanentWidget(panels_[i], 1);
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
  // A fixed width; the instruction may wrap onto a second line.
  constexpr int Width = 380;
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

void TFormRead::FormShow() {
  HistoryFiled = false;
  LastResult = 0;
  filedDevice_ = 0;
  filedData_.clear();
  cancelRequested_ = false;
  if (ctx_.state.Irda)
    ctx_.state.Irda->ProcessMessages = [] { QCoreApplication::processEvents(); };
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
  // Cancel takes effect when the running attempt returns.
  if (attemptRunning_) {
    cancelRequested_ = true;
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

void TFormRead::ProcessMessages() {
  QCoreApplication::processEvents();
}

IrdaTransport &TFormRead::Link() {
  return *ctx_.state.Irda;
}

void TFormRead::CloseConnection() {
  Link().IrdaClose(ctx_.state.DeviceSocket);
}

void TFormRead::Timer_ReadTimer() {
  Timer_Read->stop();
  if (ctx_.state.DeviceSocket != 0) {
    CloseConnection();
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
  const int result = RunStep();
  scope.finished = true;
  LastResult = result;
  SetStatusPanel(0, QString());
  SetStatusPanel(1, QString());

  int close = -1; // no close: next attempt
  if (result == LinkBadActivationTime) {
    ctx_.messages.error(this, Text(227));
    close = QDialog::Accepted;
  } else if (result == LinkOk) {
    ProcessMessages();
    close = QDialog::Accepted;
  } else if (result == SocketNotCreated) {
    ctx_.messages.error(this, Text(228));
    close = QDialog::Rejected;
  } else if (result == StoreFailed) {
    ctx_.messages.error(this, Text(67));
    close = QDialog::Rejected;
  } else {
    ProcessMessages();
    if (cancelRequested_)
      close = QDialog::Rejected;
  }
  attemptRunning_ = false;
  cancelRequested_ = false;
  if (close >= 0)
    done(close);
  else
    Timer_Read->start(AttemptIntervalMs);
}

int TFormRead::RunStep() {
  switch (Tag) {
  case ReadHistoryMode:
    return RunReadHistory();
  case RegisterMode:
    return RunRegister();
  case ReadInfoMode:
    return RunReadInfo();
  case WriteParametersMode:
    return RunWriteParameters();
  case ClearHistoryMode:
    return RunClearHistory();
  case ClearDoseMode:
    return RunClearDose();
  default:
    return LinkFailed;
  }
}

int TFormRead::ConnectInstrument() {
  IrdaSocket &socket = ctx_.state.DeviceSocket;
  if (socket != 0)
    return LinkOk;
  IrdaTransport &link = *ctx_.state.Irda;

  address_ = SOCKADDR_IRDA{};
  int result = link.IrdaOpen(address_, socket);
  if (result == IrdaSocketCreated)
    SetStatusPanel(0, Text(159));
  StatusBar1->repaint();
  if (result == LinkFailed || result == IrdaSocketNotCreated) {
    link.IrdaClose(socket);
    return SocketNotCreated;
  }

  lbxDevices->clear();
  devices_ = DEVICELIST{};
  devices_.setCount(0);
  result = link.IrdaFindDevices(devices_, socket);
  const int found =
      static_cast<int>(std::min<std::uint32_t>(devices_.count(), DEVICELIST::MaxDevices));
  TimerImTag = found;
  if (result == LinkNoDevice) {
    SetStatusPanel(1, Text(161));
  } else if (result != LinkOk) {
    SetStatusPanel(1, Text(161) + " " + QString::number(result));
  } else {
    SetStatusPanel(1, Text(160));
    if (found > 0) {
      const char *name = devices_.Device[0].irdaDeviceName;
      const auto length =
          static_cast<qsizetype>(strnlen(name, sizeof devices_.Device[0].irdaDeviceName));
      lbxDevices->addItem(QString::fromLatin1(name, length));
    }
  }
  StatusBar1->repaint();
  if (result != LinkOk || found == 0) {
    link.IrdaClose(socket);
    return LinkFailed;
  }

  ImageIrRed->hide();
  ImageIrGreen->hide();
  ImConnect->show();
  ImConnect->repaint();
  ProcessMessages();

  result = link.IrdaConnect(0, socket, devices_, address_);
  if (result != LinkOk) {
    SetStatusPanel(1, Text(163));
    StatusBar1->repaint();
    link.IrdaClose(socket);
    return result;
  }
  SetStatusPanel(0, Text(162));
  SetStatusPanel(1, QStringLiteral("OK"));
  StatusBar1->repaint();
  if (ConnectPauseMs > 0)
    QThread::msleep(static_cast<unsigned long>(ConnectPauseMs));
  ProcessMessages();
  return LinkOk;
}

int TFormRead::BeginStep() {
  ProcessMessages();
  const int result = ConnectInstrument();
  StatusBar1->repaint();
  ProcessMessages();
  return result;
}

int TFormRead::RunReadHistory() {
  AppState &state = ctx_.state;
  // Whatever an earlier transfer left is never taken for this one.
  state.History.HistoryLength = 0;
  int result = BeginStep();
  if (result != LinkOk)
    return result;
  IrdaTransport &link = Link();
  IrdaSocket &socket = state.DeviceSocket;
  REG_STATE &reg = state.RegState;

  PBarHistory->setValue(PBarHistory->minimum());
  PBarHistory->show();
  result = ReadDeviceNumber(link, socket, reg.DeviceId);
  progress_->step();
  if (result == LinkOk) {
    std::uint8_t reply[ActivationReplyLength] = {};
    int replyLength = ActivationReplyLength;
    result = ReadActivationFrame(link, socket, reply, replyLength);
    progress_->step();
    if (replyLength != ActivationReplyLength)
      result = LinkBadActivationTime;
    if (result == LinkOk && !DecodeActivationTime(reply, replyLength, reg.ActivationTime))
      result = LinkBadActivationTime;
  }
  if (result == LinkOk) {
    result = ReadHistory(link, socket, state.History.HistoryData, state.History.HistoryLength,
                         progress_.get());
    if (result != LinkOk)
      state.History.HistoryLength = 0; // a broken transfer is not a history
  }
  if (result == LinkOk) {
    const std::optional<Holder> holder =
        ctx_.DM ? ctx_.DM->HolderOf(reg.DeviceId) : std::optional<Holder>();
    reg.UserId = holder ? holder->UserId : -1;
    if (!holder)
      result = StoreFailed; // the register cannot be read: nothing filed or cleared
    if (reg.UserId > 0) {
      // Filed first: the instrument is cleared only once its events are stored.
      result = FileHistory(reg.DeviceId, reg.UserId);
      if (result == LinkOk && !state.KeepHistoryAfterRead)
        result = ClearHistory(link, socket);
    }
  }
  ProcessMessages();
  SetStatusPanel(1, Text(result == LinkOk ? 265 : 164));
  CloseConnection();
  PBarHistory->setValue(PBarHistory->maximum());
  return result;
}

int TFormRead::FileHistory(std::int32_t deviceId, std::int32_t userId) {
  if (!ctx_.DM)
    return StoreFailed;
  const HistoryArea &area = ctx_.state.History;
  const auto length = static_cast<std::size_t>(area.HistoryLength);
  // A retry after a failed clear command reads the same history again (and
  // perhaps events recorded since); only what was not filed yet is filed.
  std::size_t from = 0;
  if (HistoryFiled && filedDevice_ == deviceId && filedData_.size() <= length &&
      filedData_.size() % 20 == 0 &&
      std::equal(filedData_.begin(), filedData_.end(), area.HistoryData.begin()))
    from = filedData_.size();
  if (from < length &&
      !ctx_.DM->StoreInstrumentHistory(area.HistoryData.data() + from,
                                       static_cast<int>(length - from), deviceId, userId))
    return StoreFailed;
  HistoryFiled = true;
  filedDevice_ = deviceId;
  filedData_.assign(area.HistoryData.begin(),
                    area.HistoryData.begin() + static_cast<std::ptrdiff_t>(length));
  return LinkOk;
}

int TFormRead::RunRegister() {
  AppState &state = ctx_.state;
  int result = BeginStep();
  if (result != LinkOk)
    return result;
  IrdaTransport &link = Link();
  IrdaSocket &socket = state.DeviceSocket;
  REG_STATE &reg = state.RegState;

  result = ReadDeviceNumber(link, socket, reg.DeviceId);
  if (result == LinkOk) {
    // An instrument someone holds keeps that person's unfiled history; the
    // caller tells the operator. A failed count is treated the same way.
    const int holders = ctx_.DM ? ctx_.DM->CountDeviceHolders(reg.DeviceId) : -1;
    if (holders == 0 && reg.ClearAll) {
      reg.ActivationTime = NowToTheSecond(state.clock->now());
      result = WriteActivationTime(link, socket, reg.ActivationTime);
      if (result == LinkOk)
        result = ClearHistory(link, socket);
      if (result == LinkOk)
        result = ClearDose(link, socket);
    }
  }
  ProcessMessages();
  SetStatusPanel(1, Text(result == LinkOk ? 266 : 164));
  CloseConnection();
  return result;
}

int TFormRead::RunReadInfo() {
  int result = BeginStep();
  if (result != LinkOk)
    return result;
  result = ReadDeviceInfo(Link(), ctx_.state.DeviceSocket, ctx_.state.LastReadParams);
  SetStatusPanel(1, Text(result == LinkOk || result == LinkBadActivationTime ? 265 : 164));
  ProcessMessages();
  CloseConnection();
  return result;
}

int TFormRead::RunWriteParameters() {
  AppState &state = ctx_.state;
  const DEVICE_PARAMS wanted = state.ParamsToWrite;
  int result = BeginStep();
  if (result != LinkOk)
    return result;
  IrdaTransport &link = Link();
  IrdaSocket &socket = state.DeviceSocket;

  if (wanted.DoWriteParams)
    result = WriteParameters(link, socket, wanted);
  if (result == LinkOk && wanted.DoSetActivationTime)
    result = WriteActivationTime(link, socket, NowToTheSecond(state.clock->now()));
  if (result == LinkOk && wanted.DoClearHistory)
    result = ClearHistory(link, socket);
  // Read back only what was written: a failed write fails the attempt.
  if (result == LinkOk)
    result = ReadDeviceInfo(link, socket, state.LastReadParams);
  SetStatusPanel(1, Text(result == LinkOk ? 267 : 268));
  ProcessMessages();
  CloseConnection();
  return result;
}

int TFormRead::RunClear(bool history) {
  AppState &state = ctx_.state;
  int result = BeginStep();
  if (result != LinkOk)
    return result;
  IrdaTransport &link = Link();
  IrdaSocket &socket = state.DeviceSocket;
  REG_STATE &reg = state.RegState;

  bool unregistered = false;
  result = ReadDeviceNumber(link, socket, reg.DeviceId);
  if (result == LinkOk) {
    reg.UserId = ctx_.DM ? ctx_.DM->FindDeviceUser(reg.DeviceId) : -1;
    if (reg.UserId > 0)
      result = history ? ClearHistory(link, socket) : ClearDose(link, socket);
    else
      unregistered = true;
  }
  CloseConnection();
  if (unregistered)
    ctx_.messages.error(this, Text(282));
  return result;
}

int TFormRead::RunClearHistory() {
  return RunClear(true);
}

int TFormRead::RunClearDose() {
  return RunClear(false);
}
