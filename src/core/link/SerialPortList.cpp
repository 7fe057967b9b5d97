#include "link/SerialPortList.h"

#include <QSerialPortInfo>

SerialPortEntry SerialPortEntryOf(const SerialPortFacts &port) {
  SerialPortEntry entry;
  entry.Location = port.Location.isEmpty() ? port.Name : port.Location;
  entry.Label = port.Name;
  const QString about = port.Description.isEmpty() ? port.Manufacturer : port.Description;
  if (!about.isEmpty())
    entry.Label += QStringLiteral(" - ") + about;
  if (port.HasUsbIds)
    entry.Label += QStringLiteral(" (USB %1:%2)")
                       .arg(port.VendorId, 4, 16, QLatin1Char('0'))
                       .arg(port.ProductId, 4, 16, QLatin1Char('0'));
  return entry;
}

QList<SerialPortEntry> PresentSerialPorts() {
  QList<SerialPortEntry> entries;
  for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
    SerialPortFacts port;
    port.Name = info.portName();
#ifdef Q_OS_WIN
    port.Location = info.portName(); // COM3, as the settings keep it
#else
    port.Location = info.systemLocation();
#endif
    port.Description = info.description();
    port.Manufacturer = info.manufacturer();
    port.HasUsbIds = info.hasVendorIdentifier() && info.hasProductIdentifier();
    port.VendorId = info.vendorIdentifier();
    port.ProductId = info.productIdentifier();
    entries.append(SerialPortEntryOf(port));
  }
  return entries;
}
