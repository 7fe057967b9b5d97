// What the exchange window says about an attempt: the cause of a failed one
// from what the session found out, and what a finished reading filed.
#include <QTest>

#include "exchange/AttemptText.h"
#include "lang/TextTable.h"
#include "link/LinkCodes.h"

Q_DECLARE_METATYPE(ExchangeResult)

namespace {

ExchangeResult Failed(bool connected, int searchCode, int code, std::string commands = {},
                      int blocks = 0) {
  ExchangeResult r;
  r.outcome = ExchangeOutcome::LinkFailed;
  r.Connected = connected;
  r.SearchCode = searchCode;
  r.linkCode = code;
  r.Commands = std::move(commands);
  r.HistoryBlocks = blocks;
  return r;
}

} // namespace

class TestAttemptText : public QObject {
  Q_OBJECT
private slots:
  void causes_data();
  void causes();
  void filingSummary();
};

void TestAttemptText::causes_data() {
  QTest::addColumn<ExchangeResult>("result");
  QTest::addColumn<QString>("cause");
  QTest::newRow("nothing in range")
      << Failed(false, LinkNoDevice, LinkFailed) << "No instrument in range";
  QTest::newRow("search error") << Failed(false, WsaNetworkDown, LinkFailed)
                                << "No instrument in range";
  QTest::newRow("refused") << Failed(false, LinkOk, WsaRefused)
                           << "The instrument refused the connection";
  QTest::newRow("connect timed out")
      << Failed(false, LinkOk, WsaTimedOut) << "Connection failed (10060)";
  QTest::newRow("lost in the history")
      << Failed(true, LinkOk, WsaConnectionReset, "nTH", 4) << "Link lost after block 4";
  QTest::newRow("lost before the first block")
      << Failed(true, LinkOk, LinkFailed, "nTH", 0) << "Link lost after block 0";
  QTest::newRow("busy in the history")
      << Failed(true, LinkOk, LinkBusy, "nTH", 2) << "The instrument stayed busy";
  QTest::newRow("no answer") << Failed(true, LinkOk, WsaTimedOut, "n")
                             << "The instrument stopped answering";
  QTest::newRow("number") << Failed(true, LinkOk, LinkBadDeviceNumber, "n")
                          << "The instrument number cannot be read";
  QTest::newRow("other") << Failed(true, LinkOk, WsaNotSocket, "nPT")
                         << "The exchange failed (10038)";
  ExchangeResult done;
  done.outcome = ExchangeOutcome::Done;
  QTest::newRow("done says nothing") << done << QString();
  ExchangeResult filing = Failed(true, LinkOk, LinkOk, "nTH", 3);
  filing.outcome = ExchangeOutcome::FilingFailed;
  QTest::newRow("database") << filing << TextTable::defaultText(67);
}

void TestAttemptText::causes() {
  QFETCH(ExchangeResult, result);
  QFETCH(QString, cause);
  const TextTable texts;
  QCOMPARE(FailedAttemptCause(result, texts), cause);
}

void TestAttemptText::filingSummary() {
  TextTable texts;
  ExchangeResult r;
  r.outcome = ExchangeOutcome::Done;
  r.DeviceId = 4418001;
  QCOMPARE(FilingSummary(r, texts), "No events filed: nobody holds instrument 4418001");
  r.holder = Holder{7, "Smith", "John", ""};
  r.EventsFiled = 12;
  QCOMPARE(FilingSummary(r, texts), "12 events filed under Smith John");
  QCOMPARE(FailedAttemptText(3, texts), "Attempt 3 failed");
  // A reading that did not finish filed nothing to tell.
  r.outcome = ExchangeOutcome::Cancelled;
  QCOMPARE(FilingSummary(r, texts), QString());
}

QTEST_APPLESS_MAIN(TestAttemptText)
#include "tst_attempttext.moc"
