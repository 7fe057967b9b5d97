#include "db/PeopleStore.h"

#include <QSqlQuery>
#include <limits>

#include "db/DbConnection.h"
#include "db/DeletedEvents.h"
#include "db/Journal.h"
#include "db/NameMatch.h"
#include "history/DayCount.h"
#include "state/Clock.h"
#include "state/RegState.h"

namespace {
// Names are stored as typed: an empty name is an empty text, never NULL.
QString NotNull(const QString &text) {
  return text.isNull() ? QString(QLatin1String("")) : text;
}

const QString PersonColumns = QStringLiteral(
    "SELECT UserId, UserSecondName, UserFirstName, UserMiddleName, DeviceId FROM TableUser");

Person PersonOf(const QSqlQuery &q) {
  Person p;
  p.UserId = q.value(0).toInt();
  p.SecondName = q.value(1).toString();
  p.FirstName = q.value(2).toString();
  p.MiddleName = q.value(3).toString();
  // A number an instrument cannot have, NULL or text counts as holding none
  // but is not "free" either: only a negative number is.
  bool ok = false;
  if (!q.value(4).isNull())
    if (const int stored = q.value(4).toString().toInt(&ok); ok)
      p.StoredDeviceId = stored;
  const qint64 device = q.value(4).toLongLong(&ok);
  if (!ok || q.value(4).isNull())
    p.DeviceId = 0;
  else if (device < 0)
    p.DeviceId = -1;
  else
    p.DeviceId = device <= std::numeric_limits<qint32>::max() ? qint32(device) : 0;
  return p;
}
} // namespace

PeopleStore::PeopleStore(DbConnection &connection, std::shared_ptr<const Clock> clock,
                         Journal &journal)
    : c_(connection), clock_(std::move(clock)), journal_(journal) {}

std::optional<QList<Person>> PeopleStore::People() {
  QSqlQuery q = c_.Query();
  if (!c_.Exec(q, PersonColumns))
    return std::nullopt;
  QList<Person> people;
  while (q.next())
    people << PersonOf(q);
  return people;
}

PersonLookup PeopleStore::LookUpPerson(int userId) {
  PersonLookup lookup;
  QSqlQuery q = c_.Query();
  if (!c_.Exec(q, PersonColumns + QStringLiteral(" WHERE UserId = :PUserId"),
               {{QStringLiteral(":PUserId"), userId}}))
    return lookup;
  if (q.next()) {
    lookup.outcome = PersonLookup::Outcome::Found;
    lookup.person = PersonOf(q);
  } else {
    lookup.outcome = PersonLookup::Outcome::Gone;
  }
  return lookup;
}

std::optional<bool> PeopleStore::FindDuplicatePerson(const QString &secondName,
                                                     const QString &firstName,
                                                     const QString &middleName, int exceptUserId) {
  // The rows with the names (compared without regard to case,
  // db/NameMatch.h, which the engines' own comparisons do not do for every
  // script), and how many of them are the person's own: a person whose own
  // row is among them may keep the names.
  const std::optional<QList<Person>> people = People();
  if (!people)
    return std::nullopt;
  int matches = 0, own = 0;
  for (const Person &p : *people)
    if (SameName(p.SecondName, secondName) && SameName(p.FirstName, firstName) &&
        SameName(p.MiddleName, middleName)) {
      ++matches;
      own += p.UserId == exceptUserId ? 1 : 0;
    }
  return matches > 0 && (exceptUserId < 0 || own == 0);
}

bool PeopleStore::InsertUser(const QString &secondName, const QString &firstName,
                             const QString &middleName, int deviceId) {
  QVariantMap values{{QStringLiteral(":PSecondName"), NotNull(secondName)},
                     {QStringLiteral(":PFirstName"), NotNull(firstName)},
                     {QStringLiteral(":PMiddleName"), NotNull(middleName)}};
  QString text;
  if (deviceId == -1) {
    text = QStringLiteral("INSERT INTO TableUser (UserSecondName, UserFirstName, UserMiddleName, "
                          "DeviceId) VALUES (:PSecondName, :PFirstName, :PMiddleName, :PDeviceId)");
    values.insert(QStringLiteral(":PDeviceId"), deviceId);
  } else {
    text = QStringLiteral("INSERT INTO TableUser (UserSecondName, UserFirstName, UserMiddleName) "
                          "VALUES (:PSecondName, :PFirstName, :PMiddleName)");
  }
  return c_.InTransaction([&] {
    QSqlQuery q = c_.Query();
    if (!c_.Exec(q, text, values))
      return false;
    const std::optional<qint64> key = c_.InsertedKey();
    return key && journal_.Write(JournalAction::PersonAdded, key, std::nullopt);
  });
}

bool PeopleStore::UpdatePerson(int userId, const QString &secondName, const QString &firstName,
                               const QString &middleName) {
  return c_.InTransaction([&] {
    QSqlQuery q = c_.Query();
    return c_.Exec(q,
                   QStringLiteral("UPDATE TableUser SET UserSecondName = :PSecondName, "
                                  "UserFirstName = :PFirstName, UserMiddleName = :PMiddleName "
                                  "WHERE UserId = :PUserId"),
                   {{QStringLiteral(":PSecondName"), NotNull(secondName)},
                    {QStringLiteral(":PFirstName"), NotNull(firstName)},
                    {QStringLiteral(":PMiddleName"), NotNull(middleName)},
                    {QStringLiteral(":PUserId"), userId}}) &&
           q.numRowsAffected() == 1 &&
           journal_.Write(JournalAction::PersonChanged, userId, std::nullopt);
  });
}

bool PeopleStore::DeleteUserWithHistory(int userId) {
  const QVariantMap user{{QStringLiteral(":PUserId"), userId}};
  return c_.InTransaction([&] {
    QSqlQuery q = c_.Query();
    // Another desk may have given her an instrument since the list was read.
    // Her row stays locked until the deletion is done, so that no desk gives
    // her one (and files its receipt under her) in between.
    if (!c_.Exec(q,
                 QStringLiteral("SELECT DeviceId FROM TableUser WHERE UserId = :PUserId") +
                     c_.ForUpdate(),
                 user))
      return false;
    bool holds = false;
    while (q.next())
      holds = holds || (!q.value(0).isNull() && q.value(0).toLongLong() >= 1);
    q.finish();
    if (holds) {
      c_.SetLastError(QStringLiteral("the person holds an instrument"));
      return false;
    }
    // Her events are kept among the deleted ones.
    const qint64 events = MoveToDeleted(c_, journal_, QStringLiteral("UserId = :PUserId"), user);
    if (events < 0)
      return false;
    return c_.Exec(q, QStringLiteral("DELETE FROM TableUser WHERE UserId = :PUserId"), user) &&
           journal_.Write(JournalAction::PersonDeleted, userId, std::nullopt, events);
  });
}

Registration PeopleStore::RegisterDevice(const REG_STATE &reg) {
  const QVariantMap values{{QStringLiteral(":PDeviceId"), reg.DeviceId},
                           {QStringLiteral(":PUserId"), reg.UserId},
                           {QStringLiteral(":DTH"), DateTimeToDayCount(clock_->now())}};
  Registration outcome = Registration::Failed;
  const bool ok = c_.InTransaction([&] {
    outcome = Registration::Failed;
    // Desks registering this instrument take turns: the one after sees it held.
    if (!c_.LockInstrument(reg.DeviceId))
      return false;
    const int holders = CountDeviceHolders(reg.DeviceId);
    if (holders != 0) {
      if (holders > 0)
        outcome = Registration::AlreadyHeld;
      return false;
    }
    QSqlQuery q = c_.Query();
    if (!c_.Exec(
            q, QStringLiteral("UPDATE TableUser SET DeviceId = :PDeviceId WHERE UserId = :PUserId"),
            {{QStringLiteral(":PDeviceId"), reg.DeviceId},
             {QStringLiteral(":PUserId"), reg.UserId}})) {
      // Another desk gave it to someone else since the count: the register
      // allows one holder (a unique index on the instrument numbers).
      if (c_.ConstraintViolated())
        outcome = Registration::AlreadyHeld;
      return false;
    }
    if (q.numRowsAffected() != 1) {
      outcome = Registration::PersonGone;
      return false;
    }
    if (!c_.Exec(q,
                 QStringLiteral("INSERT INTO TableHistory (DeviceId, UserId, DateTimeEvent, "
                                "EventType) VALUES (:PDeviceId, :PUserId, :DTH, 5)"),
                 values) ||
        !journal_.Write(JournalAction::Registered, reg.UserId, reg.DeviceId))
      return false;
    outcome = Registration::Registered;
    return true;
  });
  return ok ? Registration::Registered
            : (outcome == Registration::Registered ? Registration::Failed : outcome);
}

bool PeopleStore::CancelRegistration(int deviceId, int userId) {
  const QVariantMap values{{QStringLiteral(":PDeviceId"), deviceId},
                           {QStringLiteral(":PUserId"), userId},
                           {QStringLiteral(":DTH"), DateTimeToDayCount(clock_->now())}};
  return c_.InTransaction([&] {
    QSqlQuery q = c_.Query();
    return c_.Exec(q,
                   QStringLiteral("INSERT INTO TableHistory (DeviceId, UserId, DateTimeEvent, "
                                  "EventType) VALUES (:PDeviceId, :PUserId, :DTH, 6)"),
                   values) &&
           c_.Exec(q,
                   QStringLiteral("UPDATE TableUser SET DeviceId = -1 WHERE DeviceId = :PDeviceId"),
                   {{QStringLiteral(":PDeviceId"), deviceId}}) &&
           journal_.Write(JournalAction::RegistrationCancelled, userId, deviceId);
  });
}

std::optional<Holder> PeopleStore::ReadHolder(QSqlQuery &q, qint32 deviceId) {
  // Inside a transaction the holder's row stays as read until its end: a
  // desk handing the instrument back or deleting the person waits.
  if (!c_.Exec(q,
               QStringLiteral("SELECT UserId, UserSecondName, UserFirstName, UserMiddleName "
                              "FROM TableUser WHERE DeviceId = :PDeviceId") +
                   c_.ForUpdate(),
               {{QStringLiteral(":PDeviceId"), deviceId}}))
    return std::nullopt;
  Holder holder;
  if (q.next()) {
    holder.UserId = q.value(0).toInt();
    holder.SecondName = q.value(1).toString();
    holder.FirstName = q.value(2).toString();
    holder.MiddleName = q.value(3).toString();
  }
  q.finish();
  return holder;
}

std::optional<Holder> PeopleStore::HolderOf(qint32 deviceId) {
  QSqlQuery q = c_.Query();
  return ReadHolder(q, deviceId);
}

int PeopleStore::FindDeviceUser(int deviceId, QString *secondName, QString *firstName,
                                QString *middleName) {
  const std::optional<Holder> holder = HolderOf(deviceId);
  if (!holder || holder->UserId < 1)
    return -1;
  if (secondName)
    *secondName = holder->SecondName;
  if (firstName)
    *firstName = holder->FirstName;
  if (middleName)
    *middleName = holder->MiddleName;
  return holder->UserId;
}

int PeopleStore::CountDeviceHolders(qint32 deviceId) {
  QSqlQuery q = c_.Query();
  if (!c_.Exec(q, QStringLiteral("SELECT COUNT(*) FROM TableUser WHERE DeviceId = :PDeviceId"),
               {{QStringLiteral(":PDeviceId"), deviceId}}) ||
      !q.next())
    return -1;
  return q.value(0).toInt();
}
