#pragma once
// Reading and writing a test's database file through connections of the
// test's own, beside whatever connection the program holds.
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariantList>
#include <QtTest>
#include <atomic>

// Runs statements in one transaction.
inline void exec(const QString &dbPath, const QStringList &statements) {
  const QString name = "test-writer";
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
    db.setDatabaseName(dbPath);
    QVERIFY(db.open());
    QSqlQuery q(db);
    q.exec("BEGIN");
    for (const QString &s : statements)
      QVERIFY2(q.exec(s), qPrintable(s + ": " + q.lastError().text()));
    q.exec("COMMIT");
  }
  QSqlDatabase::removeDatabase(name);
}

// Every row of a select, each row a QVariantList of its columns; empty when
// the file cannot be opened.
inline QVariantList query(const QString &dbPath, const QString &select) {
  static std::atomic<int> serial{0};
  const QString name = QStringLiteral("test-reader-%1").arg(++serial);
  QVariantList rows;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
    db.setDatabaseName(dbPath);
    db.setConnectOptions("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000");
    if (db.open()) {
      QSqlQuery q(select, db);
      while (q.next()) {
        QVariantList row;
        for (int i = 0; i < q.record().count(); ++i)
          row << q.value(i);
        rows << QVariant(row);
      }
    }
  }
  QSqlDatabase::removeDatabase(name);
  return rows;
}

// The first column of the first row as a number; -1 when there is none.
inline qint64 scalar(const QString &dbPath, const QString &select) {
  const QVariantList rows = query(dbPath, select);
  return rows.isEmpty() ? -1 : rows.first().toList().value(0).toLongLong();
}

// A text as an SQL literal, for the tests' own statements.
inline QString SqlText(const QString &text) {
  QString quoted = text;
  quoted.replace(u'\'', QStringLiteral("''"));
  return u'\'' + quoted + u'\'';
}
