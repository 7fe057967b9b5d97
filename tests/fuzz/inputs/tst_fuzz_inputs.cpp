// Replays every committed fuzz input (the seeds under corpus/ and the inputs of
// past findings under crashes/) through its target, so the ordinary build and
// the sanitizer build keep each finding fixed.
#include <QDir>
#include <QFile>
#include <QTest>

#include "../targets/FuzzTargets.h"

class TestFuzzInputs : public QObject {
  Q_OBJECT

private slots:
  void replay_data();
  void replay();
  void everyTargetHasSeeds();
  void cleanupTestCase();
};

void TestFuzzInputs::replay_data() {
  QTest::addColumn<int>("target");
  QTest::addColumn<QString>("path");
  const QDir root(QStringLiteral(VX_SOURCE_DIR "/tests/fuzz"));
  for (int t = 0; t < int(std::size(FuzzTargetList)); ++t) {
    for (const char *folder : {"corpus", "crashes"}) {
      const QDir dir(root.filePath(QStringLiteral("%1/%2").arg(
          QLatin1String(folder), QLatin1String(FuzzTargetList[t].name))));
      const QStringList files = dir.entryList(QDir::Files, QDir::Name);
      for (const QString &file : files) {
        const QString path = dir.filePath(file);
        QTest::newRow(qPrintable(
            QStringLiteral("%1/%2/%3")
                .arg(QLatin1String(folder), QLatin1String(FuzzTargetList[t].name), file)))
            << t << path;
      }
    }
  }
}

void TestFuzzInputs::replay() {
  QFETCH(int, target);
  QFETCH(QString, path);
  QFile file(path);
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  QCOMPARE(FuzzTargetList[target].run(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                      std::size_t(bytes.size())),
           0);
}

void TestFuzzInputs::everyTargetHasSeeds() {
  for (const FuzzTarget &target : FuzzTargetList) {
    const QDir dir(
        QStringLiteral(VX_SOURCE_DIR "/tests/fuzz/corpus/%1").arg(QLatin1String(target.name)));
    QVERIFY2(!dir.entryList(QDir::Files).isEmpty(), target.name);
  }
}

void TestFuzzInputs::cleanupTestCase() {
  for (const char *suffix : {"lang.txt", "settings.ini"})
    QFile::remove(QString::fromLocal8Bit(FuzzScratchFile(suffix)));
}

QTEST_GUILESS_MAIN(TestFuzzInputs)
#include "tst_fuzz_inputs.moc"
