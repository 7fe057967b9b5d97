#include "db/Statement.h"

#include <QStringList>

#include "history/DayCount.h"

Statement HistorySelect(qint32 userId, const HistoryCriteria &criteria) {
  Statement s;
  QStringList lines{QStringLiteral("SELECT * FROM TableHistory"),
                    QStringLiteral("WHERE UserId = :PUserId")};
  s.params.insert(QStringLiteral(":PUserId"), userId);
  if (criteria.Interval) {
    lines << QStringLiteral("AND (DateTimeEvent BETWEEN :DTEB AND :DTEE)");
    s.params.insert(QStringLiteral(":DTEB"), DateTimeToDayCount(criteria.Interval->Begin));
    s.params.insert(QStringLiteral(":DTEE"), DateTimeToDayCount(criteria.Interval->End));
  }
  if (criteria.DeviceId) {
    lines << QStringLiteral("AND DeviceId = :PDeviceId");
    s.params.insert(QStringLiteral(":PDeviceId"), *criteria.DeviceId);
  }
  if (!criteria.EventTypes.isEmpty()) {
    QStringList codes;
    for (qsizetype i = 0; i < criteria.EventTypes.size(); ++i) {
      const QString name = QStringLiteral(":PEventType%1").arg(i);
      codes << name;
      s.params.insert(name, criteria.EventTypes[i]);
    }
    lines << "AND EventType IN (" + codes.join(QStringLiteral(", ")) + ')';
  }
  s.text = lines.join(u'\n');
  return s;
}
