#include "db/DeletedEvents.h"

#include <QSqlQuery>
#include <algorithm>

#include "db/DbConnection.h"
#include "db/Journal.h"
#include "db/TableColumns.h"

namespace {

const QString EventColumnList =
    QStringLiteral("DeviceId, UserId, DateTimeEvent, EventType, EventValue, DEValue");

// Deletes rows and reads what was deleted, in one statement.
std::optional<QList<QVariantList>> TakeRows(DbConnection &c, const QString &text,
                                            const QVariantMap &params, int columns) {
  QSqlQuery q = c.Query();
  if (!c.Exec(q, text, params))
    return std::nullopt;
  QList<QVariantList> rows;
  while (q.next()) {
    QVariantList &row = rows.emplaceBack();
    for (int i = 0; i < columns; ++i)
      row << q.value(i);
  }
  return rows;
}

bool AddRows(DbConnection &c, const QString &table, const QStringList &columns,
             const QList<QVariantList> &rows) {
  if (rows.isEmpty())
    return true;
  if (const std::optional<bool> copied = c.CopyRows(table, columns, rows))
    return *copied;
  QStringList marks;
  for (int i = 0; i < columns.size(); ++i)
    marks << QStringLiteral("?");
  QSqlQuery q = c.Query();
  if (!c.Prepare(
          q, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                 .arg(table, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")))))
    return false;
  for (const QVariantList &row : rows) {
    for (int i = 0; i < row.size(); ++i)
      q.bindValue(i, row[i]);
    if (!c.Ok(q.exec(), q))
      return false;
  }
  return true;
}

bool HasDeletedTable(DbConnection &c) {
  if (c.Schema().Has(DeletedHistorySchemaVersion))
    return true;
  c.SetLastError(QStringLiteral("the database has no table of deleted events yet"));
  return false;
}

} // namespace

qint64 MoveToDeleted(DbConnection &c, const Journal &journal, const QString &condition,
                     const QVariantMap &params) {
  // Checked first: without the table the events would be lost.
  QSqlQuery probe = c.Query();
  if (!c.Prepare(probe, QString(), false) || !HasDeletedTable(c))
    return -1;
  std::optional<QList<QVariantList>> rows =
      TakeRows(c,
               QStringLiteral("DELETE FROM TableHistory WHERE %1 RETURNING %2")
                   .arg(condition, EventColumnList),
               params, int(HistoryColumns().size()));
  if (!rows)
    return -1;
  const double now = journal.Now();
  for (QVariantList &row : *rows)
    row << now << journal.Desk();
  QStringList columns = HistoryColumns();
  columns << QStringLiteral("DeletedTime") << QStringLiteral("Desk");
  return AddRows(c, QStringLiteral("TableDeletedHistory"), columns, *rows) ? rows->size() : -1;
}

qint64 MoveBackDeleted(DbConnection &c, qint64 userId) {
  QSqlQuery probe = c.Query();
  if (!c.Prepare(probe, QString(), false) || !HasDeletedTable(c))
    return -1;
  std::optional<QList<QVariantList>> rows =
      TakeRows(c,
               QStringLiteral("DELETE FROM TableDeletedHistory WHERE UserId = :PUserId "
                              "RETURNING DeletedId, %1")
                   .arg(EventColumnList),
               {{QStringLiteral(":PUserId"), userId}}, int(HistoryColumns().size()) + 1);
  if (!rows)
    return -1;
  // Back in the order they were filed (and deleted) in.
  std::stable_sort(rows->begin(), rows->end(), [](const QVariantList &a, const QVariantList &b) {
    return a.first().toLongLong() < b.first().toLongLong();
  });
  for (QVariantList &row : *rows)
    row.removeFirst();
  return AddRows(c, QStringLiteral("TableHistory"), HistoryColumns(), *rows) ? rows->size() : -1;
}
