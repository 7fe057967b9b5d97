#pragma once
#include <QString>

// Where the program's database is: the value of [Data Base] ADOFile. A value
// that starts with "postgresql://" or "postgres://" is a connection URI of a
// PostgreSQL server that several desks share; anything else is the path of a
// SQLite file. What a URI leaves out (password, TLS mode and the rest) comes
// from libpq's environment and files (PGPASSWORD, ~/.pgpass, PGSSLMODE, the
// service file), so the settings need not hold a password.
enum class DatabaseEngine { Sqlite, PostgreSql };

DatabaseEngine EngineOf(const QString &location);
inline bool IsServerLocation(const QString &location) {
  return EngineOf(location) == DatabaseEngine::PostgreSql;
}

// The location as it may be shown and logged: a URI without its password.
QString ShownLocation(const QString &location);
