#include "db/NewDatabase.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include "db/DatabaseAdmin.h"

namespace {

bool Fail(QString *error, const QString &why) {
  if (error)
    *error = why;
  return false;
}

// Runs the script's statements on a new file; the reason of the first
// failure, empty when all ran.
QString RunScript(const QString &file, const QString &script) {
  const QString name =
      QStringLiteral("vx-new-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
  QString why;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(file);
    if (!db.open()) {
      why = db.lastError().text();
    } else {
      QSqlQuery q(db);
      for (const QString &statement : SqlStatementsOf(script)) {
        if (!q.exec(statement)) {
          why = q.lastError().text();
          break;
        }
      }
      q.finish();
      db.close();
    }
  }
  QSqlDatabase::removeDatabase(name);
  return why;
}

} // namespace

bool CreateDatabaseFromSchema(const QString &path, const QString &schemaFile, QString *error) {
  if (QFileInfo::exists(path))
    return Fail(error, QStringLiteral("%1 exists already").arg(path));
  QFile schema(schemaFile);
  if (!schema.open(QIODevice::ReadOnly))
    return Fail(error, QStringLiteral("Cannot read %1: %2").arg(schemaFile, schema.errorString()));
  const QString script = QString::fromUtf8(schema.readAll());

  // Made under another name and renamed, so nobody opens a half-made file.
  const QString partial = path + QStringLiteral(".new");
  for (const QString &leftover : {partial, partial + "-wal", partial + "-shm"})
    QFile::remove(leftover);
  const QString why = RunScript(partial, script);
  if (!why.isEmpty()) {
    QFile::remove(partial);
    return Fail(error, QStringLiteral("Cannot make %1 from %2: %3").arg(path, schemaFile, why));
  }
  if (!QFile::rename(partial, path)) {
    QFile::remove(partial);
    return Fail(error, QStringLiteral("Cannot make %1").arg(path));
  }
  return true;
}
