#pragma once
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <memory>

#include "db/DbFileState.h"
#include "db/Person.h"
#include "db/SchemaSteps.h"
#include "db/StoredEvent.h"
#include "exchange/ExchangeRecords.h"
#include "history/HistoryFilter.h"
#include "history/RecordSet.h"

struct AppState;
struct REG_STATE;
class QSqlQuery;
struct ExternalConnection;

// The data module: owns the connection to the program's database and carries
// out every statement on it. Operations answer true/false (or a count or key,
// -1 for failure), never throw and never show anything; the calling window
// decides what to say. The database path comes from
// state.Paths.ConnectionString and is looked at again before every statement,
// so a changed path takes effect on the next one.
class TDM : public QObject, public ExchangeRecords {
  Q_OBJECT
public:
  explicit TDM(AppState &state, QObject *parent = nullptr);
  ~TDM() override;

  // Result sets shared with the windows.
  RecordSet ADOQueryUser; // "SELECT * FROM TableUser"
  RecordSet ADOQDev;      // instrument numbers / holders of the last instrument query

  // Deletes the user's events, then the user row, in one transaction; refused
  // (false, nothing deleted) when the person holds an instrument by then.
  bool DeleteUserWithHistory(int userId);
  // The person's events narrowed by the criteria, in the order the select
  // gives them (none defined); nullopt when the select failed.
  std::optional<QList<StoredEvent>> UserHistory(int userId, const HistoryCriteria &criteria);
  // Every instrument number of TableHistory into ADOQDev.
  bool OpenHistoryDevices();
  // Writes a hand-back event for the user and frees the instrument in every
  // user row that holds it, in one transaction.
  bool CancelRegistration(int deviceId, int userId);
  // Reloads ADOQueryUser.
  bool OpenUsers();
  // The key of the first user row holding the instrument (in ADOQueryUser,
  // opened first if closed), and the names of that row into the outputs that
  // are given (NULL as empty). -1 when nobody holds it or the list cannot be
  // opened; the outputs are then untouched. Leaves ADOQueryUser unfiltered.
  int FindDeviceUser(int deviceId, QString *secondName = nullptr, QString *firstName = nullptr,
                     QString *middleName = nullptr);
  // Records reg.DeviceId as held by reg.UserId and writes a receive event, in
  // one transaction; false with nothing written when the person is no longer
  // in the register.
  bool RegisterDevice(const REG_STATE &reg);
  // Files every event of a raw history area under the instrument and user, in
  // one transaction: true when all were stored (or there was nothing to
  // store), false with nothing stored when any insert failed.
  bool StoreInstrumentHistory(const std::uint8_t *data, int length, int deviceId, int userId);
  // Adds a user. With deviceId -1 the number is stored; any other number is
  // left to the column default.
  bool InsertUser(const QString &secondName, const QString &firstName, const QString &middleName,
                  int deviceId);
  // Deletes events without an event code.
  bool PurgeUntypedEvents();

  // Whether these three names are taken (a NULL middle name counting as an
  // empty one): by anyone for exceptUserId -1, else only when the person's own
  // row is not among the rows that have them. nullopt when the check cannot run.
  std::optional<bool> FindDuplicatePerson(const QString &secondName, const QString &firstName,
                                          const QString &middleName, int exceptUserId);
  // Renames the person; false when the statement failed or the person is
  // no longer in the register.
  bool UpdatePerson(int userId, const QString &secondName, const QString &firstName,
                    const QString &middleName);
  // Every person of the register, in the database's order; nullopt when it
  // cannot be read.
  std::optional<QList<Person>> People();
  // The person as the register holds her now.
  PersonLookup LookUpPerson(int userId);
  // The instrument numbers (1 or more) that occur in the history, each once;
  // nullopt on failure.
  std::optional<QList<qint32>> HistoryDeviceNumbers();
  // The times (day counts) of the person's first and last event; nullopt
  // when the person has none or the select failed.
  std::optional<std::pair<double, double>> FirstAndLastEvent(int userId);
  // Deletes the person's events, narrowed to an interval of day counts (both
  // ends included) and an instrument when they are given.
  bool DeleteHistory(int userId, std::optional<std::pair<double, double>> interval,
                     std::optional<qint32> deviceId);

  // What an instrument exchange needs (exchange/ExchangeRecords.h).
  std::optional<Holder> HolderOf(qint32 deviceId) override;
  int CountDeviceHolders(qint32 deviceId) override;
  FilingResult FileReading(qint32 deviceId, std::span<const std::uint8_t> history) override;
  bool ForgetFiledReading(qint32 deviceId) override;

  // Import of another database file of the same layout (history/Import.cpp).
  // Opens the file a connection string names ("Data Source=<file>;...") and
  // reads its TableUser and TableHistory whole; false when it cannot.
  bool OpenExternalDatabase(const QString &connectionString);
  // Merges that file's people (matched by their three names, unknown ones
  // added) and typed events into the program's database, in one transaction:
  // true when everything was merged, false with nothing merged. ADOQueryUser
  // is reloaded and left unfiltered either way.
  bool ImportExternalDatabase(const QString &connectionString);

  // The one place every statement passes through: makes the connection the
  // configured one (reconnecting when the configured string changed, or when
  // the file it opened was deleted, replaced or made read-only since), opens
  // it if it is closed, and gives `query` the statement text on it, prepared
  // unless `prepare` is false (then the caller runs query.exec(text)).
  bool EnsureHistoryConnection(QSqlQuery &query, const QString &text, bool prepare = true);

  // Runs one statement of a window's own through EnsureHistoryConnection,
  // with named parameters (":DTEB" -> value, the key with or without the
  // colon; dates as day counts, see history/DayCount.h). A select's rows go
  // into `rows` when it is given; `rowsAffected` gets the count of changed
  // rows of other statements.
  bool ExecStatement(const QString &text, const QVariantMap &params = {}, RecordSet *rows = nullptr,
                     int *rowsAffected = nullptr);

  // Runs `work` (statements through ExecStatement or EnsureHistoryConnection)
  // in one transaction: committed when it answers true, rolled back otherwise.
  // Transactions do not nest.
  template <class Work> bool InTransaction(Work &&work) {
    if (!BeginTransaction())
      return false;
    const bool ok = work();
    return EndTransaction(ok);
  }

  // The database's message for the last failed statement (for diagnostics;
  // the program shows no database messages).
  const QString &LastError() const { return lastError_; }

  // The layout of the database last opened, and whether its missing steps
  // could be taken. A database newer than the program is not used: every
  // statement fails while it is the configured one.
  const SchemaState &Schema() const { return schema_; }

private:
  bool Ok(bool ok, const QSqlQuery &query);
  bool Exec(QSqlQuery &query, const QString &text, const QVariantMap &params, bool prepare = true);
  bool Select(RecordSet &rows, const QString &text, const QVariantMap &params = {});
  bool BeginTransaction();
  bool EndTransaction(bool ok);
  // Whether the path still names the file the connection opened, as it was.
  bool StillTheOpenedFile() const;
  // The first holder of the instrument, read with `query` (inside the caller's
  // transaction when there is one); nullopt when the statement failed.
  std::optional<Holder> ReadHolder(QSqlQuery &query, qint32 deviceId);
  // Inserts the events of raw history bytes with `query`; the count stored,
  // -1 when an insert failed.
  int InsertEvents(QSqlQuery &query, std::span<const std::uint8_t> bytes, qint32 deviceId,
                   qint32 userId);
  // How many leading bytes of `reading` were filed before from the
  // instrument (0 when it does not begin with what was last filed); -1 when
  // the statement failed.
  qsizetype AlreadyFiled(QSqlQuery &query, qint32 deviceId, std::span<const std::uint8_t> reading);
  bool RememberFiled(QSqlQuery &query, qint32 deviceId, std::span<const std::uint8_t> reading);

  AppState &state_;
  QString connectionName_;
  QString connectionString_; // the string the connection was opened with
  QSqlDatabase db_;
  QString openedPath_;     // the database file the connection opened,
  DbFileState openedFile_; // and what it was then
  SchemaState schema_;
  bool inTransaction_ = false;
  QString lastError_;
  std::shared_ptr<ExternalConnection> external_; // the other file of the import
};
