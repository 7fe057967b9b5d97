#pragma once
#include <QString>
#include <cstdint>
#include <vector>

#include "exchange/ExchangeRecords.h"
#include "link/DeviceParams.h"

// The six exchanges an instrument takes part in.
enum class ExchangeMode {
  ReadHistory = 1,
  Register = 2,
  ReadInformation = 3,
  WriteParameters = 4,
  ClearHistory = 5,
  ClearDose = 6
};

// How one attempt at an exchange ended.
enum class ExchangeOutcome {
  Done,              // the mode's work is finished
  LinkFailed,        // no instrument, refused, time-out, damaged reply: try again
  SocketNotCreated,  // the infrared socket cannot be created at all
  BadActivationTime, // the instrument's activation time cannot be decoded
  FilingFailed,      // the database refused the reading: nothing cleared
  NotRegistered,     // clearing refused: nobody holds the instrument
  Cancelled          // the operator cancelled: nothing more was sent
};

// What one attempt found out and did.
struct ExchangeResult {
  ExchangeOutcome outcome = ExchangeOutcome::LinkFailed;
  int linkCode = 0;                  // the link's own code (LinkCodes.h) behind the outcome
  qint32 DeviceId = 0;               // instrument number, when it was read
  bool HasActivationTime = false;    // ActivationTime was read or set
  double ActivationTime = 0;         // day count since 30 December 1899
  std::vector<std::uint8_t> History; // raw history bytes of a whole transfer
  Holder holder;                     // who the reading was filed under (UserId -1: nobody)
  int EventsFiled = 0;               // events stored by this reading
  QList<DoseEvent> FiledDose;        // of those, the ones that take part in doses
  DEVICE_PARAMS Params;              // parameters read (information, write read-back)
  std::string Commands;              // command letters sent, in order
  int SearchCode = 0;                // the search's own result (LinkNoDevice: nothing in range)
  bool Connected = false;            // a connection to the instrument was made
  int HistoryBlocks = 0;             // history blocks received whole

  bool Finished() const { return outcome == ExchangeOutcome::Done; }
};
