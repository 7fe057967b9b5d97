#include "exchanges/ConnectionGroup.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "common/WidgetHints.h"
#include "lang/TextTable.h"
#include "state/AppState.h"

namespace {

template <typename W> W *named(W *widget, const char *name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

// The speeds adapters run at.
constexpr qint32 CommonSpeeds[] = {9600, 19200, 38400, 57600, 115200};

} // namespace

TConnectionGroup::TConnectionGroup(QWidget *parent)
    : QGroupBox(QStringLiteral("Connection settings"), parent) {
  setObjectName(QStringLiteral("GBSetting"));
  RBSock = named(new QRadioButton(QStringLiteral("Irda connection")), "RBSock");
  RBPort = named(new QRadioButton(QStringLiteral("Virtul port")), "RBPort");
  L_Port = named(new QLabel(QStringLiteral("Select virtual port")), "L_Port");
  CmbPort = named(new QComboBox, "CmbPort");
  CmbPort->setEditable(true);
  CmbPort->setInsertPolicy(QComboBox::NoInsert);
  CmbPort->setMinimumContentsLength(28);
  L_Speed = named(new QLabel(QStringLiteral("Port speed, bit/s")), "L_Speed");
  CmbSpeed = named(new QComboBox, "CmbSpeed");
  for (const qint32 speed : CommonSpeeds)
    CmbSpeed->addItem(QString::number(speed), speed);
  L_Port->setBuddy(CmbPort);
  L_Speed->setBuddy(CmbSpeed);
  SetHint(RBSock, QStringLiteral("Irda connection recommended for Window 2000 and higher"));
  SetHint(RBPort, QStringLiteral("Connection via virtal infrared port"));

  auto *layout = new QGridLayout(this);
  layout->addWidget(RBSock, 0, 0, 1, 2);
  layout->addWidget(RBPort, 1, 0, 1, 2);
  layout->addWidget(L_Port, 2, 0);
  layout->addWidget(CmbPort, 2, 1);
  layout->addWidget(L_Speed, 3, 0);
  layout->addWidget(CmbSpeed, 3, 1);
  RBSock->setChecked(true);
  EnablePortChoice();

  connect(RBSock, &QRadioButton::clicked, this, &TConnectionGroup::RBSockClick);
  connect(RBPort, &QRadioButton::clicked, this, &TConnectionGroup::RBPortClick);
}

void TConnectionGroup::ApplyTexts(const TextTable &texts) {
  setTitle(texts.at(270));
  L_Port->setText(texts.at(274));
  RBPort->setText(texts.at(275));
  SetHint(RBPort, texts.at(276));
  RBSock->setText(texts.at(277));
  SetHint(RBSock, texts.at(278));
  L_Speed->setText(texts.text(ProgramText::PortSpeed));
}

void TConnectionGroup::ShowSettings(const PROG_SETTING &settings) {
  CmbPort->clear();
  for (const SerialPortEntry &port : ListPorts())
    CmbPort->addItem(port.Label, port.Location);
  // The port the settings name, also when the system does not list it now.
  int at = CmbPort->findData(settings.PortIr);
  if (at < 0 && !settings.PortIr.isEmpty()) {
    CmbPort->insertItem(0, settings.PortIr, settings.PortIr);
    at = 0;
  }
  CmbPort->setCurrentIndex(at);
  if (at < 0)
    CmbPort->setEditText(QString());

  at = CmbSpeed->findData(settings.PortSpeed);
  if (at < 0) {
    CmbSpeed->addItem(QString::number(settings.PortSpeed), settings.PortSpeed);
    at = CmbSpeed->count() - 1;
  }
  CmbSpeed->setCurrentIndex(at);

  RBSock->setChecked(settings.Sock);
  RBPort->setChecked(!settings.Sock);
  EnablePortChoice();
}

void TConnectionGroup::StoreSettings(PROG_SETTING &settings) const {
  settings.Sock = RBSock->isChecked();
  // A listed port is kept by its location; a typed one as typed.
  const QString text = CmbPort->currentText().trimmed();
  const int at = CmbPort->currentIndex();
  const bool listed = at >= 0 && CmbPort->itemText(at) == CmbPort->currentText();
  const QString port = listed ? CmbPort->itemData(at).toString() : text;
  if (!port.isEmpty())
    settings.PortIr = port;
  settings.PortSpeed = CmbSpeed->currentData().toInt();
}

void TConnectionGroup::RBSockClick() {
  EnablePortChoice();
}

void TConnectionGroup::RBPortClick() {
  EnablePortChoice();
}

void TConnectionGroup::EnablePortChoice() {
  const bool serial = RBPort->isChecked();
  CmbPort->setEnabled(serial);
  CmbSpeed->setEnabled(serial);
}
