#include "db/Journal.h"

#include <QSqlQuery>
#include <QSysInfo>

#include "db/DbConnection.h"
#include "history/DayCount.h"
#include "state/Clock.h"

namespace {
QVariant Value(std::optional<qint64> v) {
  return v ? QVariant(*v) : QVariant(QMetaType::fromType<qint64>());
}
std::optional<qint64> Optional(const QVariant &v) {
  bool ok = false;
  const qint64 n = v.toLongLong(&ok);
  return v.isNull() || !ok ? std::nullopt : std::optional<qint64>(n);
}
QString LoggedInUser() {
  for (const char *name : {"USER", "LOGNAME", "USERNAME"})
    if (const QString user = qEnvironmentVariable(name); !user.isEmpty())
      return user;
  return {};
}
} // namespace

Journal::Journal(DbConnection &connection, std::shared_ptr<const Clock> clock)
    : c_(connection), clock_(std::move(clock)), desk_(QSysInfo::machineHostName()),
      osUser_(LoggedInUser()) {}

void Journal::SetDesk(const QString &desk, const QString &osUser) {
  desk_ = desk;
  osUser_ = osUser;
}

double Journal::Now() const {
  return DateTimeToDayCount(clock_->now());
}

bool Journal::Write(JournalAction action, std::optional<qint64> userId,
                    std::optional<qint64> deviceId, std::optional<qint64> count) {
  if (!c_.Schema().Has(JournalSchemaVersion))
    return true;
  QSqlQuery q = c_.Query();
  return c_.Exec(q,
                 QStringLiteral("INSERT INTO TableJournal (JournalTime, Desk, OsUser, Action, "
                                "UserId, DeviceId, EventCount) VALUES (:PTime, :PDesk, :POsUser, "
                                ":PAction, :PUserId, :PDeviceId, :PCount)"),
                 {{QStringLiteral(":PTime"), Now()},
                  {QStringLiteral(":PDesk"), desk_},
                  {QStringLiteral(":POsUser"), osUser_},
                  {QStringLiteral(":PAction"), int(action)},
                  {QStringLiteral(":PUserId"), Value(userId)},
                  {QStringLiteral(":PDeviceId"), Value(deviceId)},
                  {QStringLiteral(":PCount"), Value(count)}});
}

std::optional<QList<JournalEntry>> Journal::Entries(int limit) {
  QSqlQuery q = c_.Query();
  if (!c_.Exec(q,
               QStringLiteral("SELECT j.JournalId, j.JournalTime, j.Desk, j.OsUser, j.Action, "
                              "j.UserId, j.DeviceId, j.EventCount, u.UserSecondName, "
                              "u.UserFirstName, u.UserMiddleName FROM TableJournal j "
                              "LEFT JOIN TableUser u ON u.UserId = j.UserId "
                              "ORDER BY j.JournalId DESC LIMIT :PLimit"),
               {{QStringLiteral(":PLimit"), limit}}))
    return std::nullopt;
  QList<JournalEntry> entries;
  while (q.next()) {
    JournalEntry &e = entries.emplaceBack();
    e.JournalId = q.value(0).toLongLong();
    e.Time = q.value(1).toDouble();
    e.Desk = q.value(2).toString();
    e.OsUser = q.value(3).toString();
    e.Action = q.value(4).toInt();
    e.UserId = Optional(q.value(5));
    e.DeviceId = Optional(q.value(6));
    e.Count = Optional(q.value(7));
    e.PersonName = QStringList{q.value(8).toString(), q.value(9).toString(), q.value(10).toString()}
                       .join(u' ')
                       .simplified();
  }
  return entries;
}
