#include "exchange/AttemptText.h"

#include <QStringList>

#include "lang/TextTable.h"
#include "link/LinkCodes.h"

namespace {

bool TimedOutOrReset(int code) {
  return code == WsaTimedOut || code == WsaConnectionReset;
}

QString HolderName(const Holder &holder) {
  QStringList parts;
  for (const QString &part : {holder.SecondName, holder.FirstName, holder.MiddleName})
    if (!part.trimmed().isEmpty())
      parts << part.trimmed();
  return parts.join(u' ');
}

} // namespace

QString FailedAttemptCause(const ExchangeResult &result, const TextTable &texts) {
  if (result.outcome == ExchangeOutcome::Done)
    return QString();
  if (result.outcome == ExchangeOutcome::FilingFailed)
    return texts.at(67);
  if (result.outcome == ExchangeOutcome::BadActivationTime)
    return texts.at(227);
  const int code = result.linkCode;
  if (!result.Connected) {
    if (result.SearchCode != LinkOk)
      return texts.text(ProgramText::CauseNoInstrument);
    if (code == WsaRefused)
      return texts.text(ProgramText::CauseRefused);
    return texts.text(ProgramText::CauseConnectFailed).arg(code);
  }
  if (code == LinkBusy)
    return texts.text(ProgramText::CauseBusy);
  // The history transfer was under way when the link went.
  if (!result.Commands.empty() && result.Commands.back() == 'H')
    return texts.text(ProgramText::CauseLinkLost).arg(result.HistoryBlocks);
  if (code == LinkBadDeviceNumber)
    return texts.text(ProgramText::CauseBadNumber);
  if (TimedOutOrReset(code) || code == LinkFailed)
    return texts.text(ProgramText::CauseNoAnswer);
  return texts.text(ProgramText::CauseExchangeFailed).arg(code);
}

QString FailedAttemptText(int attempts, const TextTable &texts) {
  return texts.text(ProgramText::AttemptFailed).arg(attempts);
}

QString FilingSummary(const ExchangeResult &result, const TextTable &texts) {
  if (result.outcome != ExchangeOutcome::Done)
    return QString();
  if (result.holder.UserId < 1)
    return texts.text(ProgramText::ReadingNotFiled).arg(result.DeviceId);
  return texts.text(ProgramText::ReadingFiled)
      .arg(result.EventsFiled)
      .arg(HolderName(result.holder));
}
