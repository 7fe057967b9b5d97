#pragma once
#include <QObject>
#include <QString>
#include <memory>

#include "db/DbConnection.h"
#include "db/HistoryStore.h"
#include "db/Journal.h"
#include "db/PeopleStore.h"
#include "exchange/ExchangeRecords.h"

class Clock;

// The data module: the connection to the program's database with its two
// stores, the register (people and who holds which instrument) and the
// history. Calls answer true/false (or a count or key, -1 for failure), never
// throw and never show anything; the calling window decides what to say.
class TDM : public QObject, public ExchangeRecords {
  Q_OBJECT
public:
  // `clock` stamps the hand-over events; `databaseFile` is where statements
  // go until SetLocation names another.
  explicit TDM(std::shared_ptr<const Clock> clock, const QString &databaseFile = {},
               QObject *parent = nullptr);
  ~TDM() override;

  // The database file from the next statement on.
  void SetLocation(const QString &databaseFile) { connection_.SetLocation(databaseFile); }
  const QString &Location() const { return connection_.Location(); }

  PeopleStore &Register() { return people_; }
  HistoryStore &History() { return history_; }
  DbConnection &Connection() { return connection_; }
  Journal &JournalLog() { return journal_; }

  // What an instrument exchange needs (exchange/ExchangeRecords.h).
  std::optional<Holder> HolderOf(qint32 deviceId) override { return people_.HolderOf(deviceId); }
  int CountDeviceHolders(qint32 deviceId) override { return people_.CountDeviceHolders(deviceId); }
  FilingResult FileReading(qint32 deviceId, std::span<const std::uint8_t> history) override {
    return history_.FileReading(deviceId, history);
  }
  bool ForgetFiledReading(qint32 deviceId) override {
    return history_.ForgetFiledReading(deviceId);
  }

  // The database's message for the last failed statement.
  const QString &LastError() const { return connection_.LastError(); }
  // The layout of the database last opened (db/SchemaSteps.h).
  const SchemaState &Schema() const { return connection_.Schema(); }

private:
  DbConnection connection_;
  Journal journal_;
  PeopleStore people_;
  HistoryStore history_;
};
