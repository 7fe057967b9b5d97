// A request from outside to end the run arrives on the event loop, once per
// signal, and the default handling is back when the request object goes.
#include <QSignalSpy>
#include <QTest>
#include <csignal>

#include "state/StopRequest.h"

class TestStopRequest : public QObject {
  Q_OBJECT

private slots:
  void terminationArrivesOnTheEventLoop() {
    StopRequest stop;
    QSignalSpy spy(&stop, &StopRequest::requested);
    QCOMPARE(std::raise(SIGTERM), 0);
    QCOMPARE(spy.count(), 0); // not inside the handler, on the loop
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 3000);
  }

  void interruptArrivesToo() {
    StopRequest stop;
    QSignalSpy spy(&stop, &StopRequest::requested);
    QCOMPARE(std::raise(SIGINT), 0);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 3000);
  }

  void defaultHandlingIsBackAfterwards() {
    { StopRequest stop; }
    struct sigaction now {};
    QCOMPARE(sigaction(SIGTERM, nullptr, &now), 0);
    QVERIFY(now.sa_handler == SIG_DFL);
  }
};

QTEST_GUILESS_MAIN(TestStopRequest)
#include "tst_stoprequest.moc"
