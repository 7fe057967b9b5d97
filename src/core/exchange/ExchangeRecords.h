#pragma once
#include <QString>
#include <cstdint>
#include <optional>
#include <span>

#include "history/DoseTotals.h"

// The person who holds an instrument, as the register says.
struct Holder {
  qint32 UserId = -1; // -1: nobody holds the instrument
  QString SecondName;
  QString FirstName;
  QString MiddleName;
};

// What filing one reading of an instrument did.
struct FilingResult {
  enum class Outcome {
    Filed,    // stored under `holder` (possibly nothing new: EventsFiled 0)
    NoHolder, // nobody holds the instrument: nothing stored
    Failed    // the database refused: nothing stored
  };
  Outcome outcome = Outcome::Failed;
  Holder holder;              // the holder found inside the filing transaction
  int EventsFiled = 0;        // events stored by this call
  QList<DoseEvent> FiledDose; // of those, the ones that take part in doses
  QString error;              // the database's message when Failed
};

// The register and the history as an instrument exchange needs them. The
// data module carries them out on the program's database; core tests give a
// double of their own.
class ExchangeRecords {
public:
  virtual ~ExchangeRecords() = default;
  // The holder of the instrument now (UserId -1: nobody); nullopt when the
  // register cannot be read.
  virtual std::optional<Holder> HolderOf(qint32 deviceId) = 0;
  // How many people hold the instrument; -1 when the register cannot be read.
  virtual int CountDeviceHolders(qint32 deviceId) = 0;
  // Files a whole reading (the raw history bytes) under the instrument's
  // holder as the register says at this moment, in one transaction. What was
  // filed from this instrument before is remembered: a reading that begins
  // with exactly those bytes has only the rest filed.
  virtual FilingResult FileReading(qint32 deviceId, std::span<const std::uint8_t> history) = 0;
  // The instrument's history was cleared: its next reading starts anew.
  virtual bool ForgetFiledReading(qint32 deviceId) = 0;
};
