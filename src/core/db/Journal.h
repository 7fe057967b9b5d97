#pragma once
#include <QList>
#include <QString>
#include <memory>
#include <optional>

class Clock;
class DbConnection;

// What a journal row records.
enum class JournalAction {
  ReadingFiled = 1,
  Registered = 2,
  RegistrationCancelled = 3,
  PersonAdded = 4,
  PersonChanged = 5,
  PersonDeleted = 6,
  HistoryDeleted = 7,
  Imported = 8,
  HistoryRestored = 9,
};

// One row of TableJournal as the journal view shows it.
struct JournalEntry {
  qint64 JournalId = 0;
  double Time = 0; // day count, see history/DayCount.h
  QString Desk;    // the computer's host name
  QString OsUser;  // who was logged in to it
  int Action = 0;  // a JournalAction, or a code a newer program wrote
  std::optional<qint64> UserId;
  std::optional<qint64> DeviceId;
  std::optional<qint64> Count; // events filed, deleted or imported
  QString PersonName;          // the person's names as the register holds them now
};

// Who changed what, and when: one row per change of the register or the
// history, written in the same transaction as the change itself, so that
// the journal holds exactly what was done. Rows are only ever added.
class Journal {
public:
  Journal(DbConnection &connection, std::shared_ptr<const Clock> clock);

  // The desk and operating-system user the rows name; the computer's host
  // name and logged-in user unless set otherwise.
  void SetDesk(const QString &desk, const QString &osUser);
  const QString &Desk() const { return desk_; }
  // The clock's time as a day count (history/DayCount.h).
  double Now() const;

  // Adds a row inside the caller's transaction; true, writing nothing, on a
  // database whose layout has no journal yet.
  bool Write(JournalAction action, std::optional<qint64> userId, std::optional<qint64> deviceId,
             std::optional<qint64> count = std::nullopt);

  // The newest `limit` rows, newest first; nullopt when they cannot be read
  // (also when the database has no journal yet).
  std::optional<QList<JournalEntry>> Entries(int limit = 10000);

private:
  DbConnection &c_;
  std::shared_ptr<const Clock> clock_;
  QString desk_, osUser_;
};

// The layout step that adds TableJournal.
inline constexpr int JournalSchemaVersion = 3;
