#pragma once
#include <QPageLayout>
#include <QString>
#include <functional>
#include <vector>

class QPagedPaintDevice;
class QPainter;

// A text of a report band. Positions and sizes are millimetres: left from the
// left edge of the page body, top from the top of the band. A text reaches up
// to the next text of its band (or to the right edge of the page body) and is
// cut short with an ellipsis when it is longer.
struct ReportText {
  QString name;    // component name, e.g. "QRL_UserList"
  double left = 0; // ignored when centred
  double top = -1; // below 0: centred vertically in the band
  double pointSize = 10;
  bool bold = false;
  bool centred = false; // centred across the page body
};

// A band of fixed texts (title, column titles).
struct ReportBand {
  QString name;
  double height = 0;
  std::vector<ReportText> texts;
  std::vector<QString> values; // one per text, set when the texts are applied

  // The value of the text with this component name; nullptr when unknown.
  QString *Value(const QString &textName);
};

// The detail band: printed once per row, each field's text asked for at the
// moment the row is printed.
struct ReportDetail {
  QString name;
  double height = 0;
  std::vector<ReportText> fields;
  int rows = 0;
  // The text of field `field` (index into fields) for row `row`.
  std::function<QString(int row, int field)> text;
};

// The line under every page, in the bottom margin: when the report was
// printed on the left, the page number on the right. Empty texts print
// nothing.
struct ReportFooter {
  QString printed; // e.g. "Printed 10.12.2026 16:40"
  QString pageOf;  // "%1" the page, "%2" the pages, e.g. "Page %1 of %2"
};

// A report of bands on A4 portrait pages with 10 mm margins, in Arial: the
// title on the first page, then the column titles (at the top of every page,
// or under the title on the first page only), then one detail band per row.
// A band that does not fit in what is left of a page starts the next page.
// A text too long for its room that stands in a band with room for two lines
// (the column titles) is broken between its words; other texts are narrowed
// a little and then cut short.
class BandedReport {
public:
  static constexpr double PageWidth = 210;
  static constexpr double PageHeight = 297;
  static constexpr double Margin = 10;
  static constexpr double BodyWidth = PageWidth - 2 * Margin;   // 190
  static constexpr double BodyHeight = PageHeight - 2 * Margin; // 277
  static const QString FontFamily;

  ReportBand Title;
  ReportBand ColumnTitles;
  bool ColumnTitlesOnEveryPage = true;
  ReportDetail Detail;
  ReportFooter Footer;
  static constexpr double FooterTop = BodyHeight + 3; // in the bottom margin
  static constexpr double FooterPointSize = 8;

  // One band placed on a page.
  struct Placement {
    enum Kind { Title, ColumnTitles, Detail } kind;
    int row;    // detail row; -1 for the other bands
    double top; // millimetres from the top of the page body
  };
  using Page = std::vector<Placement>;

  // Where every band goes. A report without rows still has its first page.
  std::vector<Page> Paginate() const;

  // A4 portrait with the report's margins.
  static QPageLayout PageLayout();

  // Gives the device the report's page layout and paints every page on it.
  // False when the device cannot be painted on.
  bool Print(QPagedPaintDevice &device) const;

private:
  void PaintFooter(QPainter &painter, std::size_t page, std::size_t pages) const;
  void PaintTexts(QPainter &painter, const std::vector<ReportText> &texts, double bandTop,
                  double bandHeight, const std::function<QString(std::size_t)> &valueOf) const;
};
