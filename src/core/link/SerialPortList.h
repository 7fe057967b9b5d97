#pragma once
#include <QList>
#include <QString>

// A serial port present on this computer, as the settings window lists it.
struct SerialPortEntry {
  QString Location; // what the settings keep: "/dev/ttyUSB0", "COM3"
  QString Label;    // "ttyUSB0 - USB-Serial Controller (USB 067b:2303)"
};

// What the system says of one port.
struct SerialPortFacts {
  QString Name, Location, Description, Manufacturer;
  bool HasUsbIds = false;
  quint16 VendorId = 0, ProductId = 0;
};

// The list entry of a port: its name, its description (or maker), its USB ids.
SerialPortEntry SerialPortEntryOf(const SerialPortFacts &port);

// The serial ports present now, in the system's order.
QList<SerialPortEntry> PresentSerialPorts();
