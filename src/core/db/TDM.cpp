#include "db/TDM.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>

#include "db/DbConnection.h"
#include "history/DayCount.h"
#include "history/HistoryRecord.h"
#include "log/SupportLog.h"
#include "state/AppState.h"

namespace {
QString Num(qint64 n) {
  return QString::number(n);
}

QString Placeholder(const QString &name) {
  return name.startsWith(u':') ? name : u':' + name;
}
} // namespace

TDM::TDM(AppState &state, QObject *parent) : QObject(parent), state_(state) {
  static std::atomic<int> instances{0};
  connectionName_ = QStringLiteral("TDM-%1").arg(++instances);
  db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
}

TDM::~TDM() {
  ADOQueryUser.Close();
  ADOQueryHistory.Close();
  ADOQDev.Close();
  db_.close();
  db_ = QSqlDatabase();
  QSqlDatabase::removeDatabase(connectionName_);
}

QString TDM::Q(const QString &text) {
  QString quoted = text;
  quoted.replace(u'\'', QStringLiteral("''"));
  return u'\'' + quoted + u'\'';
}

bool TDM::Ok(bool ok, const QSqlQuery &query) {
  if (!ok) {
    lastError_ = query.lastError().text();
    qCWarning(lcDb) << "statement failed:" << lastError_;
  }
  return ok;
}

bool TDM::EnsureHistoryConnection(QSqlQuery &query, const QString &text, bool prepare) {
  const QString &configured = state_.Paths.ConnectionString;
  if (connectionString_ != configured || !db_.isValid()) {
    db_.close();
    connectionString_ = configured;
  } else if (db_.isOpen() && !StillTheOpenedFile()) {
    // Deleted, replaced or made read-only since it was opened: statements go
    // to what the path names now, or fail when there is nothing. A
    // transaction is not carried over to another file; it fails instead.
    if (inTransaction_) {
      lastError_ = QStringLiteral("the database file changed");
      return false;
    }
    db_.close();
  }
  if (!db_.isOpen()) {
    const QString path = DataSourceOf(connectionString_);
    if (!OpenDatabaseFile(db_, path)) {
      lastError_ = db_.lastError().isValid() ? db_.lastError().text()
                                             : QStringLiteral("cannot open the database file");
      return false;
    }
    openedPath_ = path;
    openedFile_ = CurrentDbFileState(path);
  }
  query = QSqlQuery(db_);
  query.setForwardOnly(true);
  return !prepare || Ok(query.prepare(text), query);
}

bool TDM::Exec(QSqlQuery &query, const QString &text, const QVariantMap &params, bool prepare) {
  if (!EnsureHistoryConnection(query, text, prepare))
    return false;
  if (!prepare)
    return Ok(query.exec(text), query);
  for (auto it = params.cbegin(); it != params.cend(); ++it)
    query.bindValue(Placeholder(it.key()), it.value());
  return Ok(query.exec(), query);
}

bool TDM::Select(RecordSet &rows, const QString &text, const QVariantMap &params) {
  rows.Close();
  QSqlQuery query(db_);
  if (!Exec(query, text, params))
    return false;
  return Ok(rows.Load(query), query);
}

bool TDM::ExecStatement(const QString &text, const QVariantMap &params, RecordSet *rows,
                        int *rowsAffected) {
  QSqlQuery query(db_);
  if (!Exec(query, text, params))
    return false;
  if (rows && query.isSelect() && !Ok(rows->Load(query), query))
    return false;
  if (rowsAffected)
    *rowsAffected = query.isSelect() ? 0 : query.numRowsAffected();
  return true;
}

bool TDM::StillTheOpenedFile() const {
  return CurrentDbFileState(openedPath_) == openedFile_;
}

bool TDM::BeginTransaction() {
  // IMMEDIATE takes the write lock at once, so another program writing to the
  // same file is waited for (busy time-out) before anything is done.
  QSqlQuery begin(db_);
  inTransaction_ = Exec(begin, QStringLiteral("BEGIN IMMEDIATE"), {}, false);
  return inTransaction_;
}

bool TDM::EndTransaction(bool ok) {
  inTransaction_ = false;
  // Work committed into a file that is no longer the database (deleted or
  // replaced meanwhile) would be lost: it is rolled back and reported.
  if (ok && !StillTheOpenedFile()) {
    lastError_ = QStringLiteral("the database file changed");
    ok = false;
  }
  if (ok && db_.commit())
    return true;
  if (ok)
    lastError_ = db_.lastError().text();
  db_.rollback();
  return false;
}

bool TDM::DeleteUserWithHistory(int userId) {
  return InTransaction([&] {
    QSqlQuery q(db_);
    return Exec(q, "DELETE FROM TableHistory WHERE UserId =" + Num(userId), {}) &&
           Exec(q, "DELETE FROM TableUser WHERE UserId =" + Num(userId), {});
  });
}

bool TDM::OpenUserHistory(int userId) {
  QStringList lines{QStringLiteral("SELECT * FROM TableHistory"), "WHERE UserId =" + Num(userId)};
  const FilterOutputs &filter = state_.Filter;
  if (!filter.FilterClause.isEmpty())
    lines << filter.FilterClause;
  QVariantMap params;
  if (filter.DateFilterActive) {
    params[QStringLiteral(":DTEB")] = DateTimeToDayCount(filter.FilterBegin);
    params[QStringLiteral(":DTEE")] = DateTimeToDayCount(filter.FilterEnd);
  }
  return Select(ADOQueryHistory, lines.join(u'\n'), params);
}

bool TDM::OpenHistoryDevices() {
  return Select(ADOQDev, QStringLiteral("SELECT DISTINCT DeviceId  FROM TableHistory "));
}

int TDM::CountDeviceHolders(qint32 deviceId) {
  if (!Select(ADOQDev, "SELECT  DeviceId FROM TableUser  WHERE DeviceId = :PDeviceId",
              {{QStringLiteral(":PDeviceId"), deviceId}}))
    return -1;
  return ADOQDev.RecordCount();
}

bool TDM::CancelRegistration(int deviceId, int userId) {
  ADOQDev.Close();
  const QVariantMap now{{QStringLiteral(":DTH"), DateTimeToDayCount(state_.clock->now())}};
  return InTransaction([&] {
    QSqlQuery q(db_);
    return Exec(q,
                "INSERT INTO TableHistory (DeviceId, UserId, DateTimeEvent, EventType)"
                " VALUES (" +
                    Num(deviceId) + ", " + Num(userId) + ", :DTH, 6)",
                now) &&
           Exec(q, "UPDATE  TableUser SET DeviceId = -1 WHERE DeviceId = " + Num(deviceId), {});
  });
}

bool TDM::OpenUsers() {
  return Select(ADOQueryUser, QStringLiteral("SELECT * FROM TableUser"));
}

int TDM::FindDeviceUser(int deviceId, QString *secondName, QString *firstName,
                        QString *middleName) {
  if (!ADOQueryUser.Active() && !OpenUsers())
    return -1;
  RecordSet &users = ADOQueryUser;
  users.SetFiltered(false);
  users.SetFilter("DeviceId = " + Num(deviceId));
  users.SetFiltered(true);
  int userId = -1;
  if (users.RecordCount() > 0) {
    users.First();
    userId = users.FieldByName(QStringLiteral("UserId")).toInt();
    const auto name = [&](QString *out, const char *field) {
      if (out)
        *out = users.FieldByName(QLatin1String(field)).toString();
    };
    name(secondName, "UserSecondName");
    name(firstName, "UserFirstName");
    name(middleName, "UserMiddleName");
  }
  users.SetFiltered(false);
  users.SetFilter(QString());
  return userId;
}

bool TDM::RegisterDevice(const REG_STATE &reg) {
  ADOQDev.Close();
  const QString d = Num(reg.DeviceId), u = Num(reg.UserId);
  const QVariantMap now{{QStringLiteral(":DTH"), DateTimeToDayCount(state_.clock->now())}};
  return InTransaction([&] {
    QSqlQuery q(db_);
    return Exec(q, "UPDATE  TableUser SET DeviceId =  " + d + " WHERE UserId = " + u, {}) &&
           Exec(q,
                "INSERT INTO TableHistory (DeviceId, UserId, DateTimeEvent, EventType)"
                "VALUES (" +
                    d + ", " + u + ", :DTH, 5)",
                now);
  });
}

namespace {
const QString InsertEventText = QStringLiteral(
    "INSERT INTO TableHistory (DeviceId,UserId, DateTimeEvent, EventType, EventValue, DEValue) "
    "VALUES(:PDeviceId, :PUserId, :PDateTimeEvent, :PEventType, :PEventValue, :PDEValue)");
} // namespace

int TDM::InsertEvents(QSqlQuery &q, std::span<const std::uint8_t> bytes, qint32 deviceId,
                      qint32 userId) {
  if (!EnsureHistoryConnection(q, InsertEventText))
    return -1;
  const QString pDevice = QStringLiteral(":PDeviceId"), pUser = QStringLiteral(":PUserId"),
                pTime = QStringLiteral(":PDateTimeEvent"), pType = QStringLiteral(":PEventType"),
                pValue = QStringLiteral(":PEventValue"), pDose = QStringLiteral(":PDEValue");
  int stored = 0;
  bool ok = true;
  WalkHistory(bytes.data(), static_cast<int>(bytes.size()),
              [&](const HistoryRecord &record, const HistoryEvent &event) {
                if (!ok)
                  return;
                q.bindValue(pDevice, deviceId);
                q.bindValue(pUser, userId);
                q.bindValue(pTime, record.Time);
                q.bindValue(pType, static_cast<int>(event.Type));
                q.bindValue(pValue, event.EventValue);
                q.bindValue(pDose, event.DEValue);
                ok = Ok(q.exec(), q);
                stored += ok ? 1 : 0;
              });
  q.finish();
  return ok ? stored : -1;
}

bool TDM::StoreInstrumentHistory(const std::uint8_t *data, int length, int deviceId, int userId) {
  ADOQDev.Close();
  QSqlQuery q(db_);
  if (!EnsureHistoryConnection(q, InsertEventText))
    return false;
  if (!data || length <= 0)
    return true;
  return InTransaction([&] {
    return InsertEvents(q, {data, static_cast<std::size_t>(length)}, deviceId, userId) >= 0;
  });
}

std::optional<Holder> TDM::ReadHolder(QSqlQuery &q, qint32 deviceId) {
  if (!Exec(q,
            QStringLiteral("SELECT UserId, UserSecondName, UserFirstName, UserMiddleName "
                           "FROM TableUser WHERE DeviceId = :PDeviceId"),
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

std::optional<Holder> TDM::HolderOf(qint32 deviceId) {
  QSqlQuery q(db_);
  return ReadHolder(q, deviceId);
}

FilingResult TDM::FileReading(qint32 deviceId, std::span<const std::uint8_t> history) {
  ADOQDev.Close();
  FilingResult result;
  const bool ok = InTransaction([&] {
    QSqlQuery q(db_);
    const std::optional<Holder> holder = ReadHolder(q, deviceId);
    if (!holder)
      return false;
    result.holder = *holder;
    if (holder->UserId < 1) {
      result.outcome = FilingResult::Outcome::NoHolder;
      return true;
    }
    const int stored = InsertEvents(q, history, deviceId, holder->UserId);
    if (stored < 0)
      return false;
    result.EventsFiled = stored;
    result.outcome = FilingResult::Outcome::Filed;
    return true;
  });
  if (!ok) {
    result = FilingResult{};
    result.error = lastError_;
  }
  return result;
}

bool TDM::ForgetFiledReading(qint32) {
  return true;
}

bool TDM::InsertUser(const QString &secondName, const QString &firstName, const QString &middleName,
                     int deviceId) {
  QString text = QStringLiteral("INSERT INTO TableUser ");
  if (deviceId == -1)
    text += "(UserSecondName, UserFirstName, UserMiddleName, DeviceId)VALUES (" + Q(secondName) +
            ", " + Q(firstName) + ", " + Q(middleName) + ", " + Num(deviceId) + ")";
  else
    text += "(UserSecondName, UserFirstName, UserMiddleName)VALUES (" + Q(secondName) + ", " +
            Q(firstName) + ", " + Q(middleName) + ")";
  QSqlQuery q(db_);
  return Exec(q, text, {}, false);
}

bool TDM::PurgeUntypedEvents() {
  QSqlQuery q(db_);
  return Exec(q, QStringLiteral("DELETE FROM TableHistory WHERE EventType IS NULL"), {});
}
