#pragma once
#include <QStringList>

// The columns of the program's tables, in the order of the layout.
inline const QStringList &UserColumns() {
  static const QStringList columns{QStringLiteral("UserId"), QStringLiteral("UserSecondName"),
                                   QStringLiteral("UserFirstName"),
                                   QStringLiteral("UserMiddleName"), QStringLiteral("DeviceId")};
  return columns;
}
inline const QStringList &HistoryColumns() {
  static const QStringList columns{QStringLiteral("DeviceId"),      QStringLiteral("UserId"),
                                   QStringLiteral("DateTimeEvent"), QStringLiteral("EventType"),
                                   QStringLiteral("EventValue"),    QStringLiteral("DEValue")};
  return columns;
}
inline const QStringList &LastFiledColumns() {
  static const QStringList columns{QStringLiteral("DeviceId"), QStringLiteral("FiledLength"),
                                   QStringLiteral("FiledHash")};
  return columns;
}
inline const QStringList &JournalColumns() {
  static const QStringList columns{QStringLiteral("JournalId"), QStringLiteral("JournalTime"),
                                   QStringLiteral("Desk"),      QStringLiteral("OsUser"),
                                   QStringLiteral("Action"),    QStringLiteral("UserId"),
                                   QStringLiteral("DeviceId"),  QStringLiteral("EventCount")};
  return columns;
}
