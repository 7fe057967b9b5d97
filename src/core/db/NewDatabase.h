#pragma once
#include <QString>

// Makes a new SQLite database at `path` from the SQL script `schemaFile`
// (db/schema.sql): written whole or not at all, never over an existing file.
// False with the reason in *error.
bool CreateDatabaseFromSchema(const QString &path, const QString &schemaFile,
                              QString *error = nullptr);
