#include "import/ExternalImport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "db/DbConnection.h"
#include "db/DbFileState.h"
#include "db/Journal.h"
#include "db/NameMatch.h"
#include "db/TableColumns.h"
#include "import/ExternalDatabase.h"
#include "log/SupportLog.h"

// A person's three names as the import compares them: without regard to
// case (Cyrillic too, db/NameMatch.h), with a NULL name equal to an empty one.
struct PersonName {
  QString Second;
  QString First;
  QString Middle;

  bool operator==(const PersonName &o) const {
    return SameName(Second, o.Second) && SameName(First, o.First) && SameName(Middle, o.Middle);
  }
};

size_t qHash(const PersonName &name, size_t seed = 0) {
  return qHashMulti(seed, NameKey(name.Second), NameKey(name.First), NameKey(name.Middle));
}

namespace {

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

// A name as it is stored for an added person: a NULL name of the file
// becomes an empty text, as the program's own inserts write it.
QString Stored(const QString &name) {
  return name.isNull() ? QString(QLatin1String("")) : name;
}

// A stored value as the duplicate check compares it: numbers by value
// (7, 7.0 and '7' alike), NULL apart from every number.
QString ValueKey(const QVariant &value) {
  if (value.isNull() || !value.isValid())
    return QStringLiteral("-");
  bool ok = false;
  const double d = value.toDouble(&ok);
  return ok ? QString::number(d, 'g', 17) : QStringLiteral("'") + value.toString();
}

// An event's instrument, time, code and values.
QString EventKey(const QVariant &device, const QVariant &time, const QVariant &type,
                 const QVariant &value, const QVariant &dose) {
  return QStringList{ValueKey(device), ValueKey(time), ValueKey(type), ValueKey(value),
                     ValueKey(dose)}
      .join(u'|');
}

// The other file's two tables, with the positions of the columns used.
struct OtherFile {
  ExternalTable people, events;
  int pKey = -1, pSecond = -1, pFirst = -1, pMiddle = -1, pDevice = -1;
  int eDevice = -1, eUser = -1, eTime = -1, eType = -1, eValue = -1, eDose = -1;

  bool read(const QString &path, QString *error) {
    if (!ReadImportTables(path, people, events, error))
      return false;
    const auto col = [](const ExternalTable &t, const char *name) {
      return t.columnIndex(QLatin1String(name));
    };
    pKey = col(people, "UserId"), pSecond = col(people, "UserSecondName"),
    pFirst = col(people, "UserFirstName"), pMiddle = col(people, "UserMiddleName"),
    pDevice = col(people, "DeviceId");
    eDevice = col(events, "DeviceId"), eUser = col(events, "UserId"),
    eTime = col(events, "DateTimeEvent"), eType = col(events, "EventType"),
    eValue = col(events, "EventValue"), eDose = col(events, "DEValue");
    return true;
  }

  PersonName nameOf(const QVariantList &person) const {
    return {person[pSecond].toString(), person[pFirst].toString(), person[pMiddle].toString()};
  }

  // Two people holding one key: the first such pair in file order, as rows.
  std::pair<int, int> sharedKey() const {
    QHash<QString, int> rowOf;
    rowOf.reserve(people.rows.size());
    for (int row = 0; row < people.rows.size(); ++row) {
      const QString key = KeyText(people.rows[row][pKey]);
      if (key.isEmpty())
        continue;
      const auto it = rowOf.constFind(key);
      if (it != rowOf.cend())
        return {it.value(), row};
      rowOf.insert(key, row);
    }
    return {-1, -1};
  }

  // Each key's typed events, in file order.
  QHash<QString, QList<int>> typedEventsByKey() const {
    QHash<QString, QList<int>> rowsOf;
    for (int row = 0; row < events.rows.size(); ++row) {
      const QVariantList &event = events.rows[row];
      const QString key = KeyText(event[eUser]);
      if (!key.isEmpty() && !event[eType].isNull())
        rowsOf[key].append(row);
    }
    return rowsOf;
  }
};

// Tells the observer how far the import got, in at most a few hundred
// reports, and whether to go on.
class Steps {
public:
  Steps(ImportObserver *observer, const bool &cancelled, qint64 total)
      : observer_(observer), cancelled_(cancelled), total_(total),
        stride_(std::max<qint64>(1, total / 256)) {}

  // Counts one step done; false once the import was cancelled.
  bool advance() {
    ++done_;
    if (observer_ && (done_ >= next_ || done_ == total_)) {
      next_ = done_ + stride_;
      observer_->ImportProgress(done_, total_);
    }
    return !cancelled_;
  }

private:
  ImportObserver *observer_;
  const bool &cancelled_;
  qint64 total_, stride_, done_ = 0, next_ = 0;
};

// The merge itself, inside the import's transaction.
class Merge {
public:
  Merge(DbConnection &dm, const OtherFile &file, Steps &steps, ImportResult &result)
      : dm_(dm), file_(file), steps_(steps), result_(result) {}

  // Forgets what an earlier, rolled-back run read.
  void reset() { held_.clear(); }

  bool run(const QHash<QString, QList<int>> &eventsOf) {
    QHash<PersonName, int> local;
    if (!readLocalPeople(local) || !addUnknownPeople(local))
      return false;
    QSqlQuery insert;
    if (!dm_.Prepare(insert,
                     QStringLiteral("INSERT INTO TableHistory (DeviceId,UserId, DateTimeEvent, "
                                    "EventType, EventValue, DEValue) "
                                    "VALUES(:PDeviceId, :PUserId, :PDateTimeEvent, :PEventType, "
                                    ":PEventValue, :PDEValue)")))
      return false;
    for (const QVariantList &person : file_.people.rows) {
      const int localKey = local.value(file_.nameOf(person));
      // What the database held for the person before this import: each of
      // those events is matched by one equal event of the file, which is not
      // copied; the file's further equal events are.
      if (!held_.contains(localKey) && !readHeldEvents(localKey))
        return false;
      QHash<QString, int> &held = held_[localKey];
      for (int row : eventsOf.value(KeyText(person[file_.pKey]))) {
        const QVariantList &event = file_.events.rows[row];
        const auto present =
            held.find(EventKey(event[file_.eDevice], event[file_.eTime], event[file_.eType],
                               event[file_.eValue], event[file_.eDose]));
        if (present != held.end() && present.value() > 0) {
          --present.value();
          ++result_.EventsPresent;
          if (!steps_.advance())
            return false;
          continue;
        }
        insert.bindValue(0, event[file_.eDevice]);
        insert.bindValue(1, localKey);
        insert.bindValue(2, event[file_.eTime]);
        insert.bindValue(3, event[file_.eType]);
        insert.bindValue(4, event[file_.eValue]);
        insert.bindValue(5, event[file_.eDose]);
        // An event that cannot be stored fails the import: the database may
        // have ended the transaction, and a partial merge cannot be repeated.
        if (!insert.exec())
          return failed(insert);
        ++result_.EventsCopied;
        if (!steps_.advance())
          return false;
      }
    }
    return true;
  }

private:
  // Counts the events the database holds for the person, by EventKey.
  bool readHeldEvents(int userId) {
    QHash<QString, int> &held = held_[userId];
    QSqlQuery q;
    if (!dm_.Prepare(q, QStringLiteral("SELECT DeviceId, DateTimeEvent, EventType, EventValue, "
                                       "DEValue FROM TableHistory WHERE UserId = :PUserId")))
      return false;
    q.bindValue(QStringLiteral(":PUserId"), userId);
    if (!q.exec())
      return failed(q);
    while (q.next())
      ++held[EventKey(q.value(0), q.value(1), q.value(2), q.value(3), q.value(4))];
    if (q.lastError().isValid())
      return failed(q);
    return true;
  }

  // The program's people by name: the first row of each name wins.
  bool readLocalPeople(QHash<PersonName, int> &index) {
    index.clear();
    QSqlQuery q;
    if (!dm_.Prepare(q, QStringLiteral("SELECT UserId, UserSecondName, "
                                       "UserFirstName, UserMiddleName "
                                       "FROM TableUser")))
      return false;
    if (!q.exec())
      return failed(q);
    while (q.next()) {
      PersonName name{q.value(1).toString(), q.value(2).toString(), q.value(3).toString()};
      if (!index.contains(name))
        index.insert(std::move(name), q.value(0).toInt());
    }
    if (q.lastError().isValid())
      return failed(q);
    return true;
  }

  // Adds every person whose name is not known yet, then reads the people
  // again for the keys the database gave them.
  bool addUnknownPeople(QHash<PersonName, int> &local) {
    QSqlQuery withNone, withDefault;
    if (!dm_.Prepare(withNone, QStringLiteral("INSERT INTO TableUser (UserSecondName, "
                                              "UserFirstName, UserMiddleName, DeviceId) "
                                              "VALUES (?, ?, ?, -1)")) ||
        !dm_.Prepare(withDefault, QStringLiteral("INSERT INTO TableUser (UserSecondName, "
                                                 "UserFirstName, UserMiddleName) "
                                                 "VALUES (?, ?, ?)")))
      return false;
    QSet<PersonName> added;
    for (const QVariantList &person : file_.people.rows) {
      const PersonName name = file_.nameOf(person);
      if (!local.contains(name) && !added.contains(name)) {
        // A person who held no instrument is stored so; any other number is
        // left to the column default: registrations are not carried over.
        QSqlQuery &insert = DeviceIdOf(person[file_.pDevice]) == -1 ? withNone : withDefault;
        insert.bindValue(0, Stored(name.Second));
        insert.bindValue(1, Stored(name.First));
        insert.bindValue(2, Stored(name.Middle));
        if (!insert.exec())
          return failed(insert);
        added.insert(name);
      }
      if (!steps_.advance())
        return false;
    }
    result_.PeopleAdded = int(added.size());
    result_.PeopleMatched = int(file_.people.rows.size() - added.size());
    if (added.isEmpty())
      return true;
    if (!readLocalPeople(local))
      return false;
    // A database that changed a name on insert would have the person added
    // again at every import; the import fails instead.
    for (const PersonName &name : added)
      if (!local.contains(name)) {
        result_.error = QStringLiteral("an added person is not found by name");
        return false;
      }
    return true;
  }

  bool failed(const QSqlQuery &q) {
    result_.error = q.lastError().text();
    qCWarning(lcDb) << "import: statement failed:" << result_.error;
    return false;
  }

  DbConnection &dm_;
  const OtherFile &file_;
  Steps &steps_;
  ImportResult &result_;
  QHash<int, QHash<QString, int>> held_; // per local key: events held before the import
};

const char *OutcomeName(ImportOutcome outcome) {
  switch (outcome) {
  case ImportOutcome::Merged:
    return "merged";
  case ImportOutcome::Cancelled:
    return "cancelled";
  case ImportOutcome::SameDatabase:
    return "refused, the database in use";
  case ImportOutcome::SharedKey:
    return "refused, a key shared by two people";
  case ImportOutcome::Unreadable:
    return "unreadable file";
  case ImportOutcome::Failed:
    return "failed";
  }
  return "";
}
} // namespace

bool ReadImportTables(const QString &path, ExternalTable &people, ExternalTable &events,
                      QString *error) {
  std::unique_ptr<ExternalDatabase> file = OpenExternalFile(path, error);
  if (!file)
    return false;
  if (file->readTable(QStringLiteral("TableUser"), people, UserColumns()) &&
      file->readTable(QStringLiteral("TableHistory"), events, HistoryColumns()))
    return true;
  *error = file->errorString();
  people = {};
  events = {};
  return false;
}

bool SameFile(const QString &a, const QString &b) {
  if (a.isEmpty() || b.isEmpty())
    return false;
  const QString ca = QFileInfo(a).canonicalFilePath(), cb = QFileInfo(b).canonicalFilePath();
  if (!ca.isEmpty() && ca == cb)
    return true;
  const DbFileState sa = CurrentDbFileState(a), sb = CurrentDbFileState(b);
  return sa.exists && sb.exists && (sa.device != 0 || sa.inode != 0) && sa.device == sb.device &&
         sa.inode == sb.inode;
}

ExternalImport::ExternalImport(DbConnection &connection, Journal *journal)
    : dm_(connection), journal_(journal) {}

ImportResult ExternalImport::Run(const QString &path) {
  QElapsedTimer timer;
  timer.start();
  cancelled_ = false;
  ImportResult result;
  const auto finish = [&](ImportOutcome outcome, const QString &error = {}) {
    result.outcome = outcome;
    if (outcome != ImportOutcome::Merged)
      result = ImportResult{outcome, 0, 0, 0, 0, error};
    qCInfo(lcDb) << "import:" << OutcomeName(outcome) << "- people added" << result.PeopleAdded
                 << "matched" << result.PeopleMatched << "events" << result.EventsCopied
                 << "present" << result.EventsPresent << "in" << timer.elapsed() << "ms";
    return result;
  };

  if (SameFile(path, dm_.Location()))
    return finish(ImportOutcome::SameDatabase,
                  QStringLiteral("%1 is the database in use. A database cannot be imported "
                                 "into itself; nothing was imported.")
                      .arg(QDir::toNativeSeparators(path)));
  OtherFile file;
  QString error;
  if (!file.read(path, &error))
    return finish(ImportOutcome::Unreadable, error + QStringLiteral(" Nothing was imported."));
  if (const auto [first, second] = file.sharedKey(); first >= 0) {
    const QVariantList &a = file.people.rows[first], &b = file.people.rows[second];
    const auto fullName = [&](const QVariantList &row) {
      const PersonName n = file.nameOf(row);
      return QStringList{n.Second, n.First, n.Middle}.join(u' ').simplified();
    };
    qCWarning(lcDb) << "import: key" << KeyText(a[file.pKey]) << "held by two people";
    return finish(
        ImportOutcome::SharedKey,
        QStringLiteral("In %1 two people, %2 and %3, have the same key %4, so their "
                       "events cannot be told apart. Nothing was imported.")
            .arg(QDir::toNativeSeparators(path), fullName(a), fullName(b), KeyText(a[file.pKey])));
  }

  const QHash<QString, QList<int>> eventsOf = file.typedEventsByKey();
  qint64 total = file.people.rows.size();
  for (const QVariantList &person : file.people.rows)
    total += eventsOf.value(KeyText(person[file.pKey])).size();
  Steps steps(observer_, cancelled_, total);
  Merge merge(dm_, file, steps, result);
  if (dm_.InTransaction([&] {
        // Run again from the start when another desk's transaction won.
        result.PeopleAdded = result.PeopleMatched = 0;
        result.EventsCopied = result.EventsPresent = 0;
        merge.reset();
        return merge.run(eventsOf) &&
               (!journal_ || journal_->Write(JournalAction::Imported, std::nullopt, std::nullopt,
                                             result.EventsCopied));
      }))
    return finish(ImportOutcome::Merged);
  if (cancelled_)
    return finish(ImportOutcome::Cancelled);
  const QString why = result.error.isEmpty() ? dm_.LastError() : result.error;
  return finish(ImportOutcome::Failed,
                QStringLiteral("The import failed (%1). Nothing was imported.").arg(why));
}
