// The import of another database file into the program's own: people are
// matched by their three names, unknown people are added, and every typed
// event of each person is copied under the matching local person. The whole
// merge is one transaction, so a failed import leaves nothing behind and can
// simply be repeated.
#include "import/Import.h"

#include <QHash>
#include <QSqlQuery>
#include <cmath>
#include <limits>

#include "db/DbConnection.h"
#include "db/TDM.h"

size_t qHash(const PersonName &name, size_t seed) {
  return qHashMulti(seed, name.Second, name.First, name.Middle);
}

namespace {
const QStringList UserColumns{QStringLiteral("UserId"), QStringLiteral("UserSecondName"),
                              QStringLiteral("UserFirstName"), QStringLiteral("UserMiddleName"),
                              QStringLiteral("DeviceId")};
const QStringList HistoryColumns{QStringLiteral("DeviceId"),      QStringLiteral("UserId"),
                                 QStringLiteral("DateTimeEvent"), QStringLiteral("EventType"),
                                 QStringLiteral("EventValue"),    QStringLiteral("DEValue")};

// A user key of the other file as text, so that 7, 7.0 and '7' find the same
// person's events; empty for NULL (such a person has no events).
QString KeyText(const QVariant &value) {
  if (value.isNull())
    return {};
  bool ok = false;
  const double d = value.toDouble(&ok);
  if (ok && std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9.0e15)
    return QString::number(qint64(d));
  return value.toString();
}

// The instrument number of a person of the other file as an integer; 0 (not
// -1, so the column default applies) when it is not one.
int DeviceIdOf(const QVariant &value) {
  bool ok = false;
  const qint64 n = value.toLongLong(&ok);
  if (!ok || n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
    return 0;
  return int(n);
}

// The local people by name: the first row of each name wins.
QHash<PersonName, int> IndexLocalUsers(const RecordSet &users) {
  QHash<PersonName, int> index;
  const int key = users.FieldIndex(QStringLiteral("UserId")),
            second = users.FieldIndex(QStringLiteral("UserSecondName")),
            first = users.FieldIndex(QStringLiteral("UserFirstName")),
            middle = users.FieldIndex(QStringLiteral("UserMiddleName"));
  if (key < 0 || second < 0 || first < 0 || middle < 0)
    return index;
  for (int row = 0; row < users.RowCount(); ++row) {
    const PersonName name{users.Value(row, second).toString(), users.Value(row, first).toString(),
                          users.Value(row, middle).toString()};
    if (!index.contains(name))
      index.insert(name, users.Value(row, key).toInt());
  }
  return index;
}
} // namespace

bool TDM::OpenExternalDatabase(const QString &connectionString) {
  if (!external_)
    external_ = std::make_shared<ExternalConnection>();
  ExternalConnection &x = *external_;
  x.ADOTableUserExternal = {};
  x.ADOTableHistoryExternal = {};
  // The file is opened afresh each time, so a file replaced since the last
  // import is read as it is now.
  x.File.reset();
  x.ConnectionString = connectionString;
  QString error;
  x.File = OpenExternalFile(DataSourceOf(connectionString), &error);
  if (!x.File) {
    lastError_ = error;
    return false;
  }
  if (x.File->readTable(QStringLiteral("TableUser"), x.ADOTableUserExternal, UserColumns) &&
      x.File->readTable(QStringLiteral("TableHistory"), x.ADOTableHistoryExternal, HistoryColumns))
    return true;
  lastError_ = x.File->errorString();
  x.ADOTableUserExternal = {};
  x.ADOTableHistoryExternal = {};
  return false;
}

bool TDM::ImportExternalDatabase(const QString &connectionString) {
  ADOQDev.Close();
  QSqlQuery insert(db_);
  if (!EnsureHistoryConnection(
          insert, QStringLiteral("INSERT INTO TableHistory (DeviceId,UserId, DateTimeEvent, "
                                 "EventType, EventValue, DEValue) "
                                 "VALUES(:PDeviceId, :PUserId, :PDateTimeEvent, :PEventType, "
                                 ":PEventValue, :PDEValue)")))
    return false;
  // Every local person takes part in the matching, whatever filter the list had.
  ADOQueryUser.SetFiltered(false);
  ADOQueryUser.SetFilter(QString());
  if (!OpenUsers() || !OpenExternalDatabase(connectionString))
    return false;

  const ExternalTable &people = external_->ADOTableUserExternal;
  const ExternalTable &events = external_->ADOTableHistoryExternal;
  const auto col = [](const ExternalTable &t, const char *name) {
    return t.columnIndex(QLatin1String(name));
  };
  const int pKey = col(people, "UserId"), pSecond = col(people, "UserSecondName"),
            pFirst = col(people, "UserFirstName"), pMiddle = col(people, "UserMiddleName"),
            pDevice = col(people, "DeviceId");
  const int eDevice = col(events, "DeviceId"), eUser = col(events, "UserId"),
            eTime = col(events, "DateTimeEvent"), eType = col(events, "EventType"),
            eValue = col(events, "EventValue"), eDose = col(events, "DEValue");

  // Each person's events of the other file, in the file's order.
  QHash<QString, QList<int>> eventsOf;
  for (int row = 0; row < events.rows.size(); ++row) {
    const QString key = KeyText(events.rows[row][eUser]);
    if (!key.isEmpty())
      eventsOf[key].append(row);
  }

  const QString pDeviceId = QStringLiteral(":PDeviceId"), pUserId = QStringLiteral(":PUserId"),
                pTime = QStringLiteral(":PDateTimeEvent"), pType = QStringLiteral(":PEventType"),
                pValue = QStringLiteral(":PEventValue"), pDose = QStringLiteral(":PDEValue");
  const bool ok = InTransaction([&] {
    QHash<PersonName, int> local = IndexLocalUsers(ADOQueryUser);
    for (const QVariantList &person : people.rows) {
      const PersonName name{person[pSecond].toString(), person[pFirst].toString(),
                            person[pMiddle].toString()};
      auto found = local.constFind(name);
      if (found == local.cend()) {
        if (!InsertUser(name.Second, name.First, name.Middle, DeviceIdOf(person[pDevice])) ||
            !OpenUsers())
          return false;
        local = IndexLocalUsers(ADOQueryUser);
        found = local.constFind(name);
        if (found == local.cend()) { // the database stored the name differently
          lastError_ = QStringLiteral("an added person is not found by name");
          return false;
        }
      }
      const int localKey = found.value();
      const QList<int> rows = eventsOf.value(KeyText(person[pKey]));
      for (int row : rows) {
        const QVariantList &event = events.rows[row];
        if (event[eType].isNull())
          continue;
        insert.bindValue(pDeviceId, event[eDevice]);
        insert.bindValue(pUserId, localKey);
        insert.bindValue(pTime, event[eTime]);
        insert.bindValue(pType, event[eType]);
        insert.bindValue(pValue, event[eValue]);
        insert.bindValue(pDose, event[eDose]);
        // An event that cannot be stored fails the import: the database may
        // have ended the transaction, and a partial merge cannot be repeated.
        if (!Ok(insert.exec(), insert))
          return false;
      }
    }
    insert.finish();
    return true;
  });
  insert.finish();
  ADOQueryUser.SetFiltered(false);
  ADOQueryUser.SetFilter(QString());
  if (!ok)
    OpenUsers(); // the list shows the database as it is again
  return ok;
}
