#include "db/DbEngine.h"

#include "db/PostgresEngine.h"
#include "db/SqliteEngine.h"

std::unique_ptr<DbEngine> CreateDbEngine(DatabaseEngine kind) {
  if (kind == DatabaseEngine::PostgreSql)
    return std::make_unique<PostgresEngine>();
  return std::make_unique<SqliteEngine>();
}
