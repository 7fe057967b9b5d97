#pragma once
#include <QList>
#include <QString>
#include <memory>
#include <optional>

#include "db/Person.h"
#include "exchange/ExchangeRecords.h"

class Clock;
class DbConnection;
class Journal;
class QSqlQuery;
struct REG_STATE;

// What registering an instrument to a person did.
enum class Registration {
  Registered,  // the person holds it now; the receive event is written
  AlreadyHeld, // somebody holds it already (possibly registered at another desk just now)
  PersonGone,  // the person is no longer in the register
  Failed       // the database refused; nothing was written
};

// The register: the people of TableUser and the instrument each one holds,
// with the hand-over events that registering and cancelling write. Every
// value reaches its statement bound; calls answer false (or nullopt, -1) when
// the database refuses, with the reason in the connection's LastError().
class PeopleStore {
public:
  // Every change is written to `journal` in its own transaction.
  PeopleStore(DbConnection &connection, std::shared_ptr<const Clock> clock, Journal &journal);

  // Every person of the register, in the database's order.
  std::optional<QList<Person>> People();
  // The person as the register holds her now.
  PersonLookup LookUpPerson(int userId);

  // Whether these three names are taken (a NULL middle name counting as an
  // empty one): by anyone for exceptUserId -1, else only when the person's own
  // row is not among the rows that have them. nullopt when the check cannot run.
  std::optional<bool> FindDuplicatePerson(const QString &secondName, const QString &firstName,
                                          const QString &middleName, int exceptUserId);
  // Adds a person. With deviceId -1 the number is stored; any other number is
  // left to the column default.
  bool InsertUser(const QString &secondName, const QString &firstName, const QString &middleName,
                  int deviceId);
  // Renames the person; false when the statement failed or the person is
  // no longer in the register.
  bool UpdatePerson(int userId, const QString &secondName, const QString &firstName,
                    const QString &middleName);

  // Moves the person's events among the deleted ones (db/DeletedEvents.h),
  // then deletes the person, in one transaction; refused (false, nothing
  // deleted) when the person holds an instrument by then.
  bool DeleteUserWithHistory(int userId);

  // Records reg.DeviceId as held by reg.UserId and writes a receive event, in
  // one transaction, unless somebody holds the instrument by then: an
  // instrument has one holder at most, whichever desks register it at once.
  Registration RegisterDevice(const REG_STATE &reg);
  // Writes a hand-back event for the person and frees the instrument in every
  // row that holds it, in one transaction.
  bool CancelRegistration(int deviceId, int userId);

  // The holder of the instrument now (UserId -1: nobody); nullopt when the
  // register cannot be read.
  std::optional<Holder> HolderOf(qint32 deviceId);
  // The same read with `query`, inside the caller's transaction when there is one.
  std::optional<Holder> ReadHolder(QSqlQuery &query, qint32 deviceId);
  // The key of the first person holding the instrument, and that person's
  // names into the outputs that are given (NULL as empty); -1 when nobody
  // holds it or the register cannot be read, the outputs then untouched.
  int FindDeviceUser(int deviceId, QString *secondName = nullptr, QString *firstName = nullptr,
                     QString *middleName = nullptr);
  // How many people hold the instrument; -1 when the register cannot be read.
  int CountDeviceHolders(qint32 deviceId);

private:
  DbConnection &c_;
  std::shared_ptr<const Clock> clock_;
  Journal &journal_;
};
