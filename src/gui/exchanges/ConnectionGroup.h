#pragma once
#include <QGroupBox>
#include <functional>

#include "lang/ProgramTexts.h"
#include "link/SerialPortList.h"

struct PROG_SETTING;
class TextTable;
class QComboBox;
class QLabel;
class QRadioButton;

// The settings window's connection group (GBSetting): the infrared socket
// (the virtual link on Linux) or a serial infrared adapter, the adapter's
// port among those present (or typed, for a port the system does not list)
// and its speed.
class TConnectionGroup : public QGroupBox {
  Q_OBJECT
public:
  explicit TConnectionGroup(QWidget *parent = nullptr);

  QRadioButton *RBSock;
  QRadioButton *RBPort;
  QLabel *L_Port;
  QComboBox *CmbPort; // the port's location is each item's data
  QLabel *L_Speed;
  QComboBox *CmbSpeed;

  // The serial ports present; tests replace it.
  std::function<QList<SerialPortEntry>()> ListPorts = PresentSerialPorts;

  void ApplyTexts(const TextTable &texts);
  // Shows the settings' connection, with the ports present now.
  void ShowSettings(const PROG_SETTING &settings);
  // The connection chosen, into the settings.
  void StoreSettings(PROG_SETTING &settings) const;

  void RBSockClick();
  void RBPortClick();

private:
  void EnablePortChoice();
};
