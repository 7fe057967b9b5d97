#include <QLocale>
#include <QTest>
#include <limits>

#include "history/DoseFormat.h"
#include "lang/TextTable.h"

class TestDose : public QObject {
  Q_OBJECT

  TextTable texts_;

private slots:
  void init() { QLocale::setDefault(QLocale::c()); }
  void cleanup() { QLocale::setDefault(QLocale::c()); }

  void scalesAndUnits_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("roentgen");
    QTest::addColumn<bool>("rate");
    QTest::addColumn<QString>("text");

    QTest::newRow("rate, base unit") << 0.25 << false << true << "0.250 Sv/h";
    QTest::newRow("rate, micro") << 0.0005 << false << true << "500.000 uSv/h";
    QTest::newRow("dose, milli") << 0.012 << false << false << "12.000 mSv";
    QTest::newRow("zero") << 0.0 << false << false << "0.00000 uSv";
    QTest::newRow("no prefix above the base unit") << 250.5 << false << false << "250.500 Sv";
    QTest::newRow("no grouping") << 12345.678 << false << false << "12345.678 Sv";
    QTest::newRow("R rate, milli") << 0.0005 << true << true << "50.000 mR/h";
    QTest::newRow("R dose, base unit") << 0.002 << true << false << "0.200 R";
    QTest::newRow("R rate, micro") << 2e-7 << true << true << "20.000 uR/h";
    QTest::newRow("R rate, base unit") << 0.01 << true << true << "1.000 R/h";
    QTest::newRow("R dose, micro") << 1e-7 << true << false << "10.000 uR";
    QTest::newRow("R dose, milli") << 0.00005 << true << false << "5.000 mR";
    QTest::newRow("Sv rate, milli") << 0.003 << false << true << "3.000 mSv/h";

    // Thresholds compare the converted value.
    QTest::newRow("0.1 takes the base unit") << 0.1 << false << false << "0.100 Sv";
    QTest::newRow("0.001 takes milli") << 0.001 << false << false << "1.000 mSv";
    QTest::newRow("0.001 Sv is 0.1 R") << 0.001 << true << false << "0.100 R";
    QTest::newRow("1e-7 takes three decimals") << 1e-7 << false << false << "0.100 uSv";
    QTest::newRow("below 1e-7, five decimals") << 9.9e-8 << false << false << "0.09900 uSv";
    QTest::newRow("1e-9 Sv is 1e-7 R") << 1e-9 << true << false << "0.100 uR";

    // Rounding may carry past a threshold; the unit stays.
    QTest::newRow("carry to 100 milli") << 0.0999996 << false << false << "100.000 mSv";
    QTest::newRow("carry to 1000 micro") << 0.0009999996 << false << true << "1000.000 uSv/h";
    QTest::newRow("rounds to nearest") << 0.0123456 << false << false << "12.346 mSv";

    // Negative values fall into the last scale.
    QTest::newRow("negative") << -0.5 << false << false << "-500000.00000 uSv";
    QTest::newRow("negative roentgen rate") << -0.001 << true << true << "-100000.00000 uR/h";
    QTest::newRow("negative rounding to zero") << -1e-13 << false << false << "0.00000 uSv";
    QTest::newRow("negative zero") << -0.0 << false << false << "0.00000 uSv";
  }

  void scalesAndUnits() {
    QFETCH(double, value);
    QFETCH(bool, roentgen);
    QFETCH(bool, rate);
    QFETCH(QString, text);
    QCOMPARE(FormatDose(value, roentgen, rate, texts_), text);
  }

  void decimalSeparatorOfTheLocale_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
    QTest::newRow("Russian") << QLocale(QLocale::Russian, QLocale::Russia);
  }

  void decimalSeparatorOfTheLocale() {
    QFETCH(QLocale, locale);
    QLocale::setDefault(locale);
    QCOMPARE(FormatDose(0.25, false, true, texts_), u"0,250 Sv/h");
    QCOMPARE(FormatDose(12345.678, false, false, texts_), u"12345,678 Sv");
    QCOMPARE(FormatDose(-0.5, false, false, texts_), u"-500000,00000 uSv");
  }

  void unitNamesFollowTheLanguage() {
    TextTable texts;
    QVERIFY(texts.loadLanguageFile(QStringLiteral(VX_SOURCE_DIR "/lang/LangR.txt")));
    QCOMPARE(FormatDose(0.0005, false, true, texts),
             QString::fromUtf16(u"500.000 \u043C\u043A\u0417\u0432/\u0447"));
    QCOMPARE(FormatDose(0.002, true, false, texts), QString::fromUtf16(u"0.200 \u0420"));
    texts.set(252, QStringLiteral("milli-sievert"));
    QCOMPARE(FormatDose(0.012, false, false, texts), u"12.000 milli-sievert");
    texts.restoreDefaults();
    QCOMPARE(FormatDose(0.012, false, false, texts), u"12.000 mSv");
  }

  void unusualNumbersDoNotBreakTheText() {
    for (double v :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::max(),
          std::numeric_limits<double>::lowest(), std::numeric_limits<double>::denorm_min()}) {
      const QString text = FormatDose(v, true, true, texts_);
      QVERIFY(!text.isEmpty());
      QVERIFY(text.endsWith(u"R/h"));
    }
  }
};

QTEST_GUILESS_MAIN(TestDose)
#include "tst_dose.moc"
