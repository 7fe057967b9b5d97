#pragma once
#include <QString>

class HistoryProgress;

// What an exchange shows while it runs. The session says which state it is
// in; the window turns that into its texts and pictures.
class ExchangeObserver {
public:
  enum class Status {
    Searching,     // socket open, looking for an instrument
    Finding,       // an instrument answered the search
    NotFound,      // nothing in range (code: the search's error, 0 for none)
    Connected,     // connection made
    ConnectFailed, // the instrument refused the connection
    ReadDone,      // history or information read
    Registered,    // registration exchange done
    Written,       // parameters written and read back
    ReadFailed,    // reading or registering failed
    WriteFailed    // writing failed
  };

  virtual ~ExchangeObserver() = default;
  virtual void StatusChanged(Status status, int code) = 0;
  // The search found `count` instruments; `firstName` is the one used.
  virtual void DevicesFound(int count, const QString &firstName) = 0;
  // A connection to the instrument found is being made.
  virtual void Connecting() = 0;
  // The history transfer starts (progress at its minimum) and ends.
  virtual void TransferStarted() = 0;
  virtual void TransferEnded() = 0;
  // Where the transfer advances; nullptr for none.
  virtual HistoryProgress *Progress() = 0;
  // The adapter under the connection reports its modem lines (ModemLineDsr,
  // ModemLineDcd of LinkCodes.h); not called when it reports none.
  virtual void ModemLinesReported(int lines) { (void)lines; }
  // Lets the window process what is pending (repaints, Cancel).
  virtual void Breathe() = 0;
};
