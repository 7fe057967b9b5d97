// The support log: what it keeps, what it leaves to the handler before it,
// and how it stays within its bound.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "log/SupportLog.h"

Q_LOGGING_CATEGORY(lcOther, "vx4418.other")

namespace {
QString ReadText(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Whatever reaches the handler that was installed before the log.
QStringList forwarded;
void Capture(QtMsgType, const QMessageLogContext &, const QString &message) {
  forwarded << message;
}
} // namespace

class TestSupportLog : public QObject {
  Q_OBJECT
  QTemporaryDir dir;
  QtMessageHandler before = nullptr;

private slots:
  void init() {
    QVERIFY(dir.isValid());
    QDir(dir.filePath("Logs")).removeRecursively();
    forwarded.clear();
    before = qInstallMessageHandler(Capture);
  }
  void cleanup() { qInstallMessageHandler(before); }

  void keepsLinkAndDatabaseMessagesOnly() {
    {
      SupportLog log(dir.path());
      QCOMPARE(log.filePath(), QDir(dir.path()).filePath("Logs/VX4418.log"));
      qCInfo(lcLink) << "read history" << 1234567 << "bytes" << 266340;
      qCWarning(lcDb).noquote() << "statement failed:\nno such table";
      qCInfo(lcOther) << "not for the log";
      qInfo() << "plain";
    }
    qCInfo(lcLink) << "after the log went";

    const QStringList lines =
        ReadText(QDir(dir.path()).filePath("Logs/VX4418.log")).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    static const QRegularExpression stamp(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3} )");
    QVERIFY2(stamp.match(lines[0]).hasMatch(), qPrintable(lines[0]));
    QVERIFY(lines[0].endsWith("vx4418.link info: read history 1234567 bytes 266340"));
    // A message of several lines stays one line of the log.
    QVERIFY(lines[1].endsWith("vx4418.db warning: statement failed: no such table"));
    QCOMPARE(forwarded, QStringList({"not for the log", "plain", "after the log went"}));
  }

  void appendsToTheLogOfAnEarlierRun() {
    {
      SupportLog log(dir.path());
      qCInfo(lcLink) << "first run";
    }
    {
      SupportLog log(dir.path());
      qCInfo(lcDb) << "second run";
    }
    const QString text = ReadText(QDir(dir.path()).filePath("Logs/VX4418.log"));
    QVERIFY(text.contains("first run") && text.contains("second run"));
  }

  void rotatesAndStaysBounded() {
    const qint64 limit = 1000;
    SupportLog log(dir.path(), limit, 3);
    for (int i = 0; i < 500; ++i)
      qCInfo(lcLink) << "exchange" << i;
    qCInfo(lcDb).noquote() << QString(100000, u'x'); // cut to fit one file

    QVERIFY(QFile::exists(log.fileName(0)));
    QVERIFY(QFile::exists(log.fileName(1)));
    QVERIFY(QFile::exists(log.fileName(2)));
    QVERIFY(!QFile::exists(log.fileName(3)));
    QCOMPARE(QDir(dir.filePath("Logs")).entryList(QDir::Files).size(), 3);
    for (int g = 0; g < 3; ++g)
      QVERIFY2(QFileInfo(log.fileName(g)).size() <= limit, qPrintable(log.fileName(g)));

    // The newest lines are kept, in order from the oldest file to the current one.
    const QString text = ReadText(log.fileName(2)) + ReadText(log.fileName(1));
    QVERIFY(text.contains("exchange 499\n"));
    QVERIFY(!text.contains("exchange 0\n"));
    const QStringList kept = text.split(u'\n', Qt::SkipEmptyParts);
    for (int i = 1; i < kept.size(); ++i)
      QVERIFY(kept[i - 1].section(u' ', -1).toInt() < kept[i].section(u' ', -1).toInt());
    QVERIFY(ReadText(log.fileName(0)).contains("xxxxxxxx"));
  }
};

QTEST_GUILESS_MAIN(TestSupportLog)
#include "tst_supportlog.moc"
