// The word processor and spreadsheet files of the office export, read back
// from their zip containers, and the grid helpers of the text commands.
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTest>
#include <QXmlStreamReader>

#include "export/GridExport.h"
#include "export/OfficeExport.h"
#include "main/StringGrid.h"

namespace {
QByteArray Unzip(const QString &archive, const QString &member) {
  QProcess unzip;
  unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), archive, member});
  if (!unzip.waitForFinished(10000) || unzip.exitCode() != 0)
    return {};
  return unzip.readAllStandardOutput();
}

// Every row of the first table of an OpenDocument text, one text per cell.
QList<QStringList> OdtTable(const QString &path) {
  QList<QStringList> rows;
  QXmlStreamReader xml(Unzip(path, QStringLiteral("content.xml")));
  bool inCell = false;
  while (!xml.atEnd()) {
    xml.readNext();
    const auto name = xml.name();
    if (xml.isStartElement() && name == u"table-row")
      rows.append(QStringList());
    else if (xml.isStartElement() && name == u"table-cell")
      rows.last().append(QString()), inCell = true;
    else if (xml.isEndElement() && name == u"table-cell")
      inCell = false;
    else if (xml.isCharacters() && !xml.isWhitespace() && inCell) // not the indentation
      rows.last().last() += xml.text();
  }
  return rows;
}

// The written cells of the first sheet of an .xlsx workbook by reference
// ("A1" -> text), and the column widths set ("A" -> width).
struct Sheet {
  QMap<QString, QString> cells;
  QMap<QString, double> widths;
};
Sheet XlsxSheet(const QString &path) {
  QStringList shared;
  QXmlStreamReader strings(Unzip(path, QStringLiteral("xl/sharedStrings.xml")));
  while (!strings.atEnd()) {
    strings.readNext();
    if (strings.isStartElement() && strings.name() == u"t")
      shared << strings.readElementText();
  }
  Sheet sheet;
  QXmlStreamReader xml(Unzip(path, QStringLiteral("xl/worksheets/sheet1.xml")));
  QString ref;
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement())
      continue;
    const auto a = xml.attributes();
    if (xml.name() == u"c")
      ref = a.value(QLatin1String("r")).toString();
    else if (xml.name() == u"v")
      sheet.cells[ref] = shared.value(xml.readElementText().toInt());
    else if (xml.name() == u"col")
      for (int c = a.value(QLatin1String("min")).toInt();
           c <= a.value(QLatin1String("max")).toInt(); ++c)
        sheet.widths[QString(QChar(u'A' + c - 1))] = a.value(QLatin1String("width")).toDouble();
  }
  return sheet;
}

GridText Grid(const QList<QStringList> &rows) {
  return GridText{int(rows.first().size()), [rows](int column, int row) {
                    return row < rows.size() ? rows[row][column] : QString();
                  }};
}

// A history list: three filled rows, an empty one, then one more filled row
// with an empty cell in the middle.
const QList<QStringList> History{
    {"Date", "Event", "Value", "DE", "Device"},
    {"14.03.2025 15:09:26", "Gamma alarm", "12.5 µSv/h", "1.2 mSv", "77"},
    {"14.03.2025 15:10:00", "Device оn", "", "1.2 mSv", "77"},
    {"14.03.2025 15:11:00", "Новиков", "1", "2", "77"},
    {"", "", "", "", ""},
    {"15.03.2025 08:00:00", "Battary off", " ", "3", "78"}};
} // namespace

// A grid of fixed texts: row 0 of `rows` is the title row, the others fill
// the first data rows of `dataRows`.
class TextCells : public StringGridModel {
public:
  TextCells(QList<QStringList> rows, int dataRows)
      : StringGridModel(int(rows.value(0).size())), rows_(std::move(rows)) {
    setDataRows(dataRows);
  }
  QString Cell(int column, int row) const override {
    return row >= 1 && row < rows_.size() ? rows_[row].value(column) : QString();
  }
  void ClearGrid(int n) override {
    beginResetModel();
    rows_.resize(1);
    setDataRows(n);
    endResetModel();
  }

private:
  QList<QStringList> rows_;
};

class TestOfficeExport : public QObject {
  Q_OBJECT

  QTemporaryDir dir;

private slots:
  void initTestCase() {
    QVERIFY2(QFileInfo(QStringLiteral("/usr/bin/unzip")).isExecutable(), "unzip is needed");
  }

  void odtTableKeepsEveryRowAndCell() {
    const QString path = dir.filePath("list.odt");
    QVERIFY(WriteOdtTable(path, Grid(History), 1, 5));
    const QList<QStringList> expected{History[1],
                                      History[2],
                                      History[3],
                                      {"", "", "", "", ""},
                                      {"15.03.2025 08:00:00", "Battary off", "", "3", "78"}};
    QCOMPARE(OdtTable(path), expected);
  }

  void xlsxCellsKeepTheirPlaces() {
    const QString path = dir.filePath("list.xlsx");
    QVERIFY(WriteXlsxCells(path, Grid(History), 1, 5));
    const Sheet sheet = XlsxSheet(path);
    QMap<QString, QString> expected;
    const QList<int> sheetRows{1, 2, 3, 5};
    for (int k : sheetRows)
      for (int j = 0; j < 5; ++j)
        if (!History[k][j].trimmed().isEmpty())
          expected[QChar(u'A' + j) + QString::number(k)] = History[k][j];
    QCOMPARE(sheet.cells, expected);
    QVERIFY(!sheet.cells.contains("C2")); // the empty cell in the middle of a row
    // Each column is fitted: the dates are wider than the instrument numbers.
    QCOMPARE(sheet.widths.size(), 5);
    QVERIFY(sheet.widths["A"] > sheet.widths["E"]);
    QVERIFY(sheet.widths["E"] >= 2);
  }

  void exportWritesBothFilesAndOpensThem() {
    QStringList opened;
    QString odt;
    {
      OfficeExport office([&](const QUrl &url) {
        opened << url.toLocalFile();
        return true;
      });
      QString error;
      QVERIFY(office.Export(Grid(History), 1, 3, &error));
      QCOMPARE(opened, (QStringList{office.OdtPath(), office.XlsxPath()}));
      QCOMPARE(OdtTable(office.OdtPath()).size(), 3);
      QCOMPARE(XlsxSheet(office.XlsxPath()).cells.value("E3"), QStringLiteral("77"));
      odt = office.OdtPath();
      QVERIFY(office.Export(Grid(History), 2, 2, &error)); // a second export, new files
      QVERIFY(office.OdtPath() != odt);
      QVERIFY(QFileInfo::exists(odt));
    }
    QVERIFY(!QFileInfo::exists(odt)); // the folder goes with the object
  }

  void failureGivesAMessage() {
    OfficeExport office([](const QUrl &) { return false; });
    QString error;
    QVERIFY(!office.Export(Grid(History), 1, 1, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!WriteXlsxCells(dir.filePath("missing/list.xlsx"), Grid(History), 1, 1, &error));
    QVERIFY(!error.isEmpty());
  }

  void gridSelectAllAndClipboard() {
    auto *cells5 = new TextCells(History.mid(0, 4), 40);
    StringGrid grid(cells5, StringGrid::Lines::Both);
    SelectAllFilledRows(grid);
    QCOMPARE(grid.SelectedRange(), std::make_pair(1, 3));

    const GridText cells = GridTextOf(grid.cells());
    QCOMPARE(cells.ColumnCount, 5);
    CopyTextToClipboard(ClipboardText(cells, 3, 4));
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("14.03.2025 15:11:00\tНовиков\t\t1\t\t2\t\t77\n\n"));
  }
};

QTEST_MAIN(TestOfficeExport)
#include "tst_officeexport.moc"
