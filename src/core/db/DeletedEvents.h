#pragma once
#include <QString>
#include <QVariantMap>

class DbConnection;
class Journal;

// Deleted history is kept: the events go to TableDeletedHistory with the
// time of deletion and the desk, and can be moved back. Both moves run inside
// the caller's transaction and take the rows out of one table with the same
// statement that reads them, so no event is lost or doubled when another desk
// works on the same person meanwhile.

// The layout step that adds TableDeletedHistory.
inline constexpr int DeletedHistorySchemaVersion = 4;

// Moves the events of TableHistory that `condition` (a WHERE clause with
// named parameters in `params`) selects; the number moved, -1 when a
// statement failed or the database has no table of deleted events yet.
qint64 MoveToDeleted(DbConnection &connection, const Journal &journal, const QString &condition,
                     const QVariantMap &params);

// Moves every deleted event of the person back into TableHistory, in the
// order they were filed; the number moved, -1 on failure.
qint64 MoveBackDeleted(DbConnection &connection, qint64 userId);
