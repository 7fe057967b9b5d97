#include "FaultPlan.h"

bool ParseCommandList(const QString &text, QByteArray &commands, QString &error) {
  if (text.isEmpty() || text == QLatin1String("all")) {
    commands = InstrumentCommands;
    return true;
  }
  const QByteArray letters = text.toLatin1();
  for (char letter : letters) {
    if (!QByteArray(InstrumentCommands).contains(letter)) {
      error = QStringLiteral("unknown command letter '%1' (use %2 or all)")
                  .arg(QChar::fromLatin1(letter), QLatin1String(InstrumentCommands));
      return false;
    }
  }
  commands = letters;
  return true;
}

bool ParseCommandFault(const QString &text, CommandFault &fault, QString &error) {
  const qsizetype colon = text.indexOf(':');
  bool ok = false;
  const int count = text.left(colon).toInt(&ok);
  if (!ok || count < 0 || count > 1000) {
    error = QStringLiteral("'%1' is not N or N:LETTERS with N from 0 to 1000").arg(text);
    return false;
  }
  fault.count = count;
  return ParseCommandList(colon < 0 ? QString() : text.mid(colon + 1), fault.commands, error);
}
