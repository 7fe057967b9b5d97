#pragma once
// One run of the program on a throw-away program folder, and the helpers the
// main-window tests share.
#include "ProgramRunBase.h"
#include "main/MainForm.h"
#include "main/StringGrid.h"

#include "TestDatabase.h"
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QtTest>
#include <functional>

inline QString readFile(const QString &path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    return {};
  return QString::fromUtf8(f.readAll());
}

inline void writeFile(const QString &path, const QByteArray &bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

// "INSERT INTO TableUser ..." for one person; names as SQL literals or NULL.
inline QString insertUser(const QString &second, const QString &first, const QString &middle,
                          const QString &device = "-1") {
  return QString("INSERT INTO TableUser (UserSecondName, UserFirstName, UserMiddleName, "
                 "DeviceId) VALUES (%1, %2, %3, %4)")
      .arg(second, first, middle, device);
}

// "INSERT INTO TableHistory ..." for one event; values as SQL literals.
inline QString insertEvent(int userId, const QString &when, const QString &type,
                           const QString &value = "NULL", const QString &de = "NULL",
                           const QString &device = "1000001") {
  return QString("INSERT INTO TableHistory (DeviceId, UserId, DateTimeEvent, EventType, "
                 "EventValue, DEValue) VALUES (%1, %2, %3, %4, %5, %6)")
      .arg(device)
      .arg(userId)
      .arg(when, type, value, de);
}

// Waits inside whatever modal loop runs for the dialog of that name to show,
// then hands it to `answer` (which accepts or rejects it). `seen` counts the
// showings.
// It keeps looking for 20 seconds of wall time, not for a number of passes,
// so a busy machine that shows the dialog late does not leave it open; it
// stops when the test's Run ends, so a window of a later test never meets an
// answer that refers to an earlier test's variables.
inline int &answerGeneration() {
  static int generation = 0;
  return generation;
}
inline void whenShown(const QString &objectName, std::function<void(QDialog *)> answer,
                      int *seen = nullptr, QDeadlineTimer deadline = QDeadlineTimer(20000),
                      int generation = answerGeneration()) {
  QTimer::singleShot(1, [=] {
    if (generation != answerGeneration())
      return;
    for (QWidget *w : QApplication::topLevelWidgets())
      if (w->objectName() == objectName && w->isVisible()) {
        if (seen)
          ++*seen;
        auto *d = static_cast<QDialog *>(w);
        answer(d);
        // A failed check inside `answer` must not leave the window open.
        if (d->isVisible())
          d->reject();
        return;
      }
    if (!deadline.hasExpired())
      whenShown(objectName, answer, seen, deadline, generation);
  });
}

inline void acceptWhenShown(const QString &objectName, int *seen = nullptr) {
  whenShown(
      objectName, [](QDialog *d) { d->accept(); }, seen);
}
inline void rejectWhenShown(const QString &objectName, int *seen = nullptr) {
  whenShown(
      objectName, [](QDialog *d) { d->reject(); }, seen);
}

struct Run : ProgramRunBase {

  Run() { ctx.executableFolder = folder.path(); }
  ~Run() { ++answerGeneration(); }
  // A settings file that keeps the settings window closed at start.
  // `more`: further lines of the same section.
  void quietSettings(const QString &more = {}) {
    writeFile(folder.file("VX4418.ini"), "[Program setting]\nRunSet=0\n" + more.toUtf8());
  }
  void start() {
    windows = CreateProgramWindows(ctx);
    windows->MainForm->show();
  }
  TMainForm &main() { return *windows->MainForm; }
  QString db() const { return folder.databasePath(); }
  const StringGridModel &users() { return main().SG_User->cells(); }
  const StringGridModel &history() { return main().SG_History->cells(); }
  // Selects a row of the user list and opens that person's history.
  void viewHistoryOf(int row) {
    main().SG_User->SelectRow(row);
    main().action("AViewHistory")->trigger();
  }
};
