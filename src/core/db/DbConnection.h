#pragma once
#include <QSqlDatabase>
#include <QString>

// The database file a connection string names: the value of its
// "Data Source=" key ("Data Source=<path>;Mode=ReadWrite|Share Deny None;").
// The value ends at the ';' that starts the next key, so a path may itself
// hold ';'; it may also be quoted. Empty when there is no such key.
QString DataSourceOf(const QString &connectionString);

// Opens `db` (a QSQLITE connection) on an existing database file for reading
// and writing, waiting up to 5 s for another program's lock. A missing file,
// a directory or a file that cannot be opened fails; the file is never
// created. A file that is not a database opens, and its first statement fails.
bool OpenDatabaseFile(QSqlDatabase &db, const QString &path);
