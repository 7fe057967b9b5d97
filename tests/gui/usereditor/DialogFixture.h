#pragma once
// A dialog of the program on a throw-away copy of the supplied database, with
// the data module its statements go through and recorded messages.
#include "ProgramFolder.h"
#include "QueuedFileDialogs.h"
#include "RecordingMessages.h"
#include "common/AppContext.h"
#include "common/FileDialogs.h"
#include "common/OperatorMessages.h"
#include "db/TDM.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

template <class Form> struct DialogFixture {
  ProgramFolder folder;
  AppState state;
  RecordingMessages messages;
  QueuedFileDialogs files;
  AppContext ctx{state, messages, files, QString()};
  TDM dm{state.clock, folder.databasePath()};
  Form form{ctx};

  DialogFixture() {
    ctx.executableFolder = folder.path();
    state.Paths.ADOFile = folder.databasePath();
    ctx.DM = &dm;
  }

  // Runs statements through a connection of the test's own.
  void exec(const QStringList &statements) {
    withDatabase([&](QSqlDatabase &db) {
      QSqlQuery q(db);
      for (const QString &s : statements)
        QVERIFY2(q.exec(s), qPrintable(s));
    });
  }
  // The rows of a select, each as its list of values.
  QList<QVariantList> select(const QString &statement) {
    QList<QVariantList> rows;
    withDatabase([&](QSqlDatabase &db) {
      QSqlQuery q(db);
      QVERIFY2(q.exec(statement), qPrintable(statement));
      while (q.next()) {
        QVariantList row;
        for (int i = 0; i < q.record().count(); ++i)
          row << q.value(i);
        rows << row;
      }
    });
    return rows;
  }

  void makeDatabaseUnreachable() { dm.SetLocation(folder.file("missing/dbVX4418.db")); }
  void makeDatabaseReachable() { dm.SetLocation(folder.databasePath()); }

private:
  template <class Work> void withDatabase(Work &&work) {
    const QString name = QStringLiteral("test-connection");
    {
      QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
      db.setDatabaseName(folder.databasePath());
      QVERIFY(db.open());
      work(db);
    }
    QSqlDatabase::removeDatabase(name);
  }
};
