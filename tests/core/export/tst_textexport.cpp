// The text lines of the save-as-text and copy commands, built from the cells
// of the user list (4 columns) and the history list (5 columns).
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "export/TextExport.h"

namespace {
// Rows of a grid; row 0 is the title row.
GridText Grid(const QList<QStringList> &rows) {
  const int columns = rows.isEmpty() ? 0 : int(rows.first().size());
  return GridText{columns, [rows](int column, int row) {
                    return row < rows.size() && column < rows[row].size() ? rows[row][column]
                                                                          : QString();
                  }};
}

const QStringList UserTitles{"Second name", "First name", "Middle name", "Device"};
const QStringList HistoryTitles{"Date", "Event", "Value", "DE", "Device"};
const QString Tab2 = QStringLiteral("\t\t");
} // namespace

class TestTextExport : public QObject {
  Q_OBJECT

private slots:
  void userListLines() {
    const GridText users =
        Grid({UserTitles,
              {"Abcd", "Efgh", "", "105"},
              {"", "", "", ""}, // an empty row inside the selection
              {"Новиков", "Иван", "Петрович", ""},
              {" \x01", "stray", "", ""}}); // column 0 blank after trimming: empty row
    QCOMPARE(TextFileText(users, 1, 4), "Abcd" + Tab2 + "Efgh" + Tab2 + Tab2 + "105" + Tab2 +
                                            "\r\n" + "Новиков" + Tab2 + "Иван" + Tab2 + "Петрович" +
                                            Tab2 + Tab2 + "\r\n");
    QCOMPARE(ClipboardText(users, 1, 4), "Abcd" + Tab2 + "Efgh" + Tab2 + Tab2 + "105\n" + "\n" +
                                             "Новиков" + Tab2 + "Иван" + Tab2 + "Петрович" + Tab2 +
                                             "\n" + "\n");
    // One row alone, as a plain selection gives it.
    QCOMPARE(ClipboardText(users, 3, 3),
             "Новиков" + Tab2 + "Иван" + Tab2 + "Петрович" + Tab2 + "\n");
    QCOMPARE(TextFileText(users, 2, 2), QString());
  }

  // On the clipboard a cell of 12 characters or more (a date and time has 19)
  // is followed by one tab, a shorter one by two; the file always has two.
  void historyListLines() {
    const GridText history =
        Grid({HistoryTitles,
              {"14.03.2025 15:09:26", "Gamma alarm", "12.5 µSv/h", "", "77"},
              {"14.03.2025 15:10:00", "Device оn", "12345678901", "123456789012", "77"}});
    QCOMPARE(ClipboardText(history, 1, 2), "14.03.2025 15:09:26\tGamma alarm" + Tab2 +
                                               "12.5 µSv/h" + Tab2 + Tab2 + "77\n" +
                                               "14.03.2025 15:10:00\tDevice оn" + Tab2 +
                                               "12345678901" + Tab2 + "123456789012\t77\n");
    QCOMPARE(TextFileText(history, 1, 1), "14.03.2025 15:09:26" + Tab2 + "Gamma alarm" + Tab2 +
                                              "12.5 µSv/h" + Tab2 + Tab2 + "77" + Tab2 + "\r\n");
  }

  void selectAllStopsAtTheFirstEmptyRow_data() {
    QTest::addColumn<QStringList>("column0"); // data rows
    QTest::addColumn<int>("bottom");
    QTest::newRow("three events, empty rows below") << QStringList{"a", "b", "c", "", "", "x"} << 3;
    QTest::newRow("first row empty, still taken") << QStringList{"", "b", ""} << 2;
    QTest::newRow("filled to the end") << QStringList{"a", "b"} << 2;
    QTest::newRow("blank counts as empty") << QStringList{"a", " \t"} << 1;
  }
  void selectAllStopsAtTheFirstEmptyRow() {
    QFETCH(QStringList, column0);
    QFETCH(int, bottom);
    QList<QStringList> rows{UserTitles};
    for (const QString &cell : column0)
      rows << QStringList{cell, "f", "", ""};
    QCOMPARE(SelectAllBottom(Grid(rows), 1, int(rows.size())), bottom);
  }

  void textFileIsUtf8AndReplacedWhole() {
    QTemporaryDir dir;
    const QString path = dir.filePath("list.txt");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(1000, 'x'));
    old.close();
    const QString text = "Новиков" + Tab2 + "\r\n";
    QVERIFY(SaveTextFile(path, text));
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), text.toUtf8());

    QString error;
    QVERIFY(!SaveTextFile(dir.filePath("missing/list.txt"), text, &error));
    QVERIFY(!error.isEmpty());
  }
};

QTEST_GUILESS_MAIN(TestTextExport)
#include "tst_textexport.moc"
