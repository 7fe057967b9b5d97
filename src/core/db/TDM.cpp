#include "db/TDM.h"

#include <QCryptographicHash>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>
#include <limits>

#include "db/DbConnection.h"
#include "history/DayCount.h"
#include "history/HistoryRecord.h"
#include "log/SupportLog.h"
#include "state/AppState.h"

namespace {
// Names are stored as typed: an empty name is an empty text, never NULL.
QString NotNull(const QString &text) {
  return text.isNull() ? QString(QLatin1String("")) : text;
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
  ADOQDev.Close();
  db_.close();
  db_ = QSqlDatabase();
  QSqlDatabase::removeDatabase(connectionName_);
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
    schema_ = BringSchemaUpToDate(db_);
    if (schema_.outcome == SchemaState::Outcome::TooNew) {
      lastError_ = schema_.error;
      db_.close();
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
  const QVariantMap user{{QStringLiteral(":PUserId"), userId}};
  return InTransaction([&] {
    QSqlQuery q(db_);
    // Another desk may have given her an instrument since the list was read.
    if (!Exec(q,
              QStringLiteral("SELECT COUNT(*) FROM TableUser WHERE UserId = :PUserId "
                             "AND DeviceId >= 1"),
              user) ||
        !q.next())
      return false;
    if (q.value(0).toInt() > 0) {
      lastError_ = QStringLiteral("the person holds an instrument");
      return false;
    }
    return Exec(q, QStringLiteral("DELETE FROM TableHistory WHERE UserId = :PUserId"), user) &&
           Exec(q, QStringLiteral("DELETE FROM TableUser WHERE UserId = :PUserId"), user);
  });
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
  const QVariantMap values{{QStringLiteral(":PDeviceId"), deviceId},
                           {QStringLiteral(":PUserId"), userId},
                           {QStringLiteral(":DTH"), DateTimeToDayCount(state_.clock->now())}};
  return InTransaction([&] {
    QSqlQuery q(db_);
    return Exec(q,
                QStringLiteral("INSERT INTO TableHistory (DeviceId, UserId, DateTimeEvent, "
                               "EventType) VALUES (:PDeviceId, :PUserId, :DTH, 6)"),
                values) &&
           Exec(q, QStringLiteral("UPDATE TableUser SET DeviceId = -1 WHERE DeviceId = :PDeviceId"),
                {{QStringLiteral(":PDeviceId"), deviceId}});
  });
}

bool TDM::OpenUsers() {
  return Select(ADOQueryUser, QStringLiteral("SELECT * FROM TableUser"));
}

int TDM::FindDeviceUser(int deviceId, QString *secondName, QString *firstName,
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

bool TDM::RegisterDevice(const REG_STATE &reg) {
  ADOQDev.Close();
  const QVariantMap values{{QStringLiteral(":PDeviceId"), reg.DeviceId},
                           {QStringLiteral(":PUserId"), reg.UserId},
                           {QStringLiteral(":DTH"), DateTimeToDayCount(state_.clock->now())}};
  return InTransaction([&] {
    QSqlQuery q(db_);
    return Exec(
               q,
               QStringLiteral("UPDATE TableUser SET DeviceId = :PDeviceId WHERE UserId = :PUserId"),
               {{QStringLiteral(":PDeviceId"), reg.DeviceId},
                {QStringLiteral(":PUserId"), reg.UserId}}) &&
           q.numRowsAffected() == 1 &&
           Exec(q,
                QStringLiteral("INSERT INTO TableHistory (DeviceId, UserId, DateTimeEvent, "
                               "EventType) VALUES (:PDeviceId, :PUserId, :DTH, 5)"),
                values);
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

namespace {
QByteArray HashOf(std::span<const std::uint8_t> bytes) {
  return QCryptographicHash::hash(
      QByteArrayView(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size())),
      QCryptographicHash::Sha256);
}
} // namespace

qsizetype TDM::AlreadyFiled(QSqlQuery &q, qint32 deviceId, std::span<const std::uint8_t> reading) {
  if (!schema_.Has(1))
    return 0;
  if (!Exec(q,
            QStringLiteral("SELECT FiledLength, FiledHash FROM TableLastFiled "
                           "WHERE DeviceId = :PDeviceId"),
            {{QStringLiteral(":PDeviceId"), deviceId}}))
    return -1;
  qsizetype filed = 0;
  if (q.next()) {
    const qint64 length = q.value(0).toLongLong();
    const QByteArray hash = q.value(1).toByteArray();
    if (length > 0 && length <= qint64(reading.size()) &&
        HashOf(reading.first(std::size_t(length))) == hash)
      filed = qsizetype(length - length % HistoryRecord::Size);
  }
  q.finish();
  return filed;
}

bool TDM::RememberFiled(QSqlQuery &q, qint32 deviceId, std::span<const std::uint8_t> reading) {
  if (!schema_.Has(1))
    return true;
  return Exec(q,
              QStringLiteral("INSERT INTO TableLastFiled (DeviceId, FiledLength, FiledHash) "
                             "VALUES (:PDeviceId, :PLength, :PHash) "
                             "ON CONFLICT (DeviceId) DO UPDATE SET "
                             "FiledLength = excluded.FiledLength, FiledHash = excluded.FiledHash"),
              {{QStringLiteral(":PDeviceId"), deviceId},
               {QStringLiteral(":PLength"), qint64(reading.size())},
               {QStringLiteral(":PHash"), HashOf(reading)}});
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
    // What another desk, or an earlier try whose clear command failed, has
    // filed already is not filed again.
    const qsizetype from = AlreadyFiled(q, deviceId, history);
    if (from < 0)
      return false;
    const int stored =
        InsertEvents(q, history.subspan(std::size_t(from)), deviceId, holder->UserId);
    if (stored < 0 || !RememberFiled(q, deviceId, history))
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

bool TDM::ForgetFiledReading(qint32 deviceId) {
  if (!schema_.Has(1))
    return true;
  QSqlQuery q(db_);
  return Exec(q, QStringLiteral("DELETE FROM TableLastFiled WHERE DeviceId = :PDeviceId"),
              {{QStringLiteral(":PDeviceId"), deviceId}});
}

bool TDM::InsertUser(const QString &secondName, const QString &firstName, const QString &middleName,
                     int deviceId) {
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
  QSqlQuery q(db_);
  return Exec(q, text, values);
}

bool TDM::PurgeUntypedEvents() {
  QSqlQuery q(db_);
  return Exec(q, QStringLiteral("DELETE FROM TableHistory WHERE EventType IS NULL"), {});
}

std::optional<bool> TDM::FindDuplicatePerson(const QString &secondName, const QString &firstName,
                                             const QString &middleName, int exceptUserId) {
  // The rows with the names, and how many of them are the person's own: a
  // person whose own row is among them may keep the names.
  QSqlQuery q(db_);
  if (!Exec(q,
            QStringLiteral("SELECT COUNT(*), COALESCE(SUM(UserId = :PUserId), 0) FROM TableUser "
                           "WHERE UserSecondName = :PSecondName AND UserFirstName = :PFirstName "
                           "AND COALESCE(UserMiddleName, '') = :PMiddleName"),
            {{QStringLiteral(":PSecondName"), NotNull(secondName)},
             {QStringLiteral(":PFirstName"), NotNull(firstName)},
             {QStringLiteral(":PMiddleName"), NotNull(middleName)},
             {QStringLiteral(":PUserId"), exceptUserId}}) ||
      !q.next())
    return std::nullopt;
  const int matches = q.value(0).toInt();
  const int own = q.value(1).toInt();
  return matches > 0 && (exceptUserId < 0 || own == 0);
}

bool TDM::UpdatePerson(int userId, const QString &secondName, const QString &firstName,
                       const QString &middleName) {
  QSqlQuery q(db_);
  return Exec(q,
              QStringLiteral("UPDATE TableUser SET UserSecondName = :PSecondName, "
                             "UserFirstName = :PFirstName, UserMiddleName = :PMiddleName "
                             "WHERE UserId = :PUserId"),
              {{QStringLiteral(":PSecondName"), NotNull(secondName)},
               {QStringLiteral(":PFirstName"), NotNull(firstName)},
               {QStringLiteral(":PMiddleName"), NotNull(middleName)},
               {QStringLiteral(":PUserId"), userId}}) &&
         q.numRowsAffected() == 1;
}

namespace {
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

std::optional<QList<Person>> TDM::People() {
  QSqlQuery q(db_);
  if (!Exec(q, PersonColumns, {}))
    return std::nullopt;
  QList<Person> people;
  while (q.next())
    people << PersonOf(q);
  return people;
}

PersonLookup TDM::LookUpPerson(int userId) {
  PersonLookup lookup;
  QSqlQuery q(db_);
  if (!Exec(q, PersonColumns + QStringLiteral(" WHERE UserId = :PUserId"),
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

std::optional<QList<qint32>> TDM::HistoryDeviceNumbers() {
  QSqlQuery q(db_);
  if (!Exec(q,
            QStringLiteral("SELECT DISTINCT DeviceId FROM TableHistory "
                           "WHERE DeviceId > 0 AND DeviceId IS NOT NULL"),
            {}))
    return std::nullopt;
  QList<qint32> numbers;
  while (q.next())
    numbers << q.value(0).toInt();
  return numbers;
}

std::optional<std::pair<double, double>> TDM::FirstAndLastEvent(int userId) {
  QSqlQuery q(db_);
  if (!Exec(q,
            QStringLiteral("SELECT Min(DateTimeEvent), Max(DateTimeEvent) FROM TableHistory "
                           "WHERE UserId = :PUserId"),
            {{QStringLiteral(":PUserId"), userId}}) ||
      !q.next())
    return std::nullopt;
  bool firstOk = false, lastOk = false;
  const double first = q.value(0).toDouble(&firstOk);
  const double last = q.value(1).toDouble(&lastOk);
  // A person without events gets a row of NULLs.
  if (q.value(0).isNull() || q.value(1).isNull() || !firstOk || !lastOk)
    return std::nullopt;
  return std::pair(first, last);
}

bool TDM::DeleteHistory(int userId, std::optional<std::pair<double, double>> interval,
                        std::optional<qint32> deviceId) {
  QString text = QStringLiteral("DELETE FROM TableHistory WHERE UserId = :PUserId");
  QVariantMap values{{QStringLiteral(":PUserId"), userId}};
  if (interval) {
    text += QStringLiteral(" AND (DateTimeEvent BETWEEN :DTEB AND :DTEE)");
    values.insert(QStringLiteral(":DTEB"), interval->first);
    values.insert(QStringLiteral(":DTEE"), interval->second);
  }
  if (deviceId) {
    text += QStringLiteral(" AND DeviceId = :PDeviceId");
    values.insert(QStringLiteral(":PDeviceId"), *deviceId);
  }
  QSqlQuery q(db_);
  return Exec(q, text, values);
}
