#include "dialogs/BandedReport.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>

const QString BandedReport::FontFamily = QStringLiteral("Arial");

namespace {

// Room left between a text and the next one of its band.
constexpr double kGap = 1.5;
// A text wider than its room is narrowed down to this share of its width
// before it is cut short.
constexpr double kMinStretch = 0.75;

QFont ReportFont(const ReportText &t) {
  QFont font(BandedReport::FontFamily);
  font.setPointSizeF(t.pointSize);
  font.setBold(t.bold);
  return font;
}

// Millimetres to device pixels.
struct Scale {
  double x, y;
  explicit Scale(const QPaintDevice &device)
      : x(device.logicalDpiX() / 25.4), y(device.logicalDpiY() / 25.4) {}
};

// How much room (mm) a text of the band has: up to the left edge of the next
// text to its right, or to the right edge of the page body.
double RoomOf(const std::vector<ReportText> &texts, std::size_t i) {
  const ReportText &t = texts[i];
  if (t.centred)
    return BandedReport::BodyWidth;
  double right = BandedReport::BodyWidth;
  for (const ReportText &other : texts)
    if (!other.centred && other.left > t.left)
      right = std::min(right, other.left - kGap);
  return std::max(0.0, right - t.left);
}

} // namespace

QString *ReportBand::Value(const QString &textName) {
  values.resize(texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i)
    if (texts[i].name == textName)
      return &values[i];
  return nullptr;
}

QPageLayout BandedReport::PageLayout() {
  return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                     QMarginsF(Margin, Margin, Margin, Margin), QPageLayout::Millimeter);
}

std::vector<BandedReport::Page> BandedReport::Paginate() const {
  std::vector<Page> pages(1);
  double y = 0;
  const auto put = [&](Placement::Kind kind, int row, double height) {
    if (y + height > BodyHeight + 1e-9 && !pages.back().empty()) {
      pages.emplace_back();
      y = 0;
      if (kind == Placement::Detail && ColumnTitlesOnEveryPage) {
        pages.back().push_back({Placement::ColumnTitles, -1, 0});
        y = ColumnTitles.height;
      }
    }
    pages.back().push_back({kind, row, y});
    y += height;
  };
  put(Placement::Title, -1, Title.height);
  put(Placement::ColumnTitles, -1, ColumnTitles.height);
  for (int row = 0; row < Detail.rows; ++row)
    put(Placement::Detail, row, Detail.height);
  return pages;
}

bool BandedReport::Print(QPagedPaintDevice &device) const {
  device.setPageLayout(PageLayout());
  const std::vector<Page> pages = Paginate();
  QPainter painter;
  if (!painter.begin(&device))
    return false;
  for (std::size_t p = 0; p < pages.size(); ++p) {
    if (p > 0 && !device.newPage())
      return false;
    for (const Placement &band : pages[p]) {
      switch (band.kind) {
      case Placement::Title:
      case Placement::ColumnTitles: {
        const ReportBand &b = band.kind == Placement::Title ? Title : ColumnTitles;
        PaintTexts(painter, b.texts, band.top, b.height,
                   [&b](std::size_t i) { return i < b.values.size() ? b.values[i] : QString(); });
        break;
      }
      case Placement::Detail:
        PaintTexts(painter, Detail.fields, band.top, Detail.height, [&](std::size_t i) {
          return Detail.text ? Detail.text(band.row, int(i)) : QString();
        });
        break;
      }
    }
    PaintFooter(painter, p, pages.size());
  }
  return painter.end();
}

void BandedReport::PaintFooter(QPainter &painter, std::size_t page, std::size_t pages) const {
  if (Footer.printed.isEmpty() && Footer.pageOf.isEmpty())
    return;
  const Scale mm(*painter.device());
  QFont font(FontFamily);
  font.setPointSizeF(FooterPointSize);
  const QFontMetricsF metrics(font, painter.device());
  const QRectF line(0, FooterTop * mm.y, BodyWidth * mm.x, metrics.height());
  painter.save();
  painter.setFont(font);
  painter.drawText(line, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, Footer.printed);
  if (!Footer.pageOf.isEmpty())
    painter.drawText(line, Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine,
                     Footer.pageOf.arg(page + 1).arg(pages));
  painter.restore();
}

void BandedReport::PaintTexts(QPainter &painter, const std::vector<ReportText> &texts,
                              double bandTop, double bandHeight,
                              const std::function<QString(std::size_t)> &valueOf) const {
  QPaintDevice &device = *painter.device();
  const Scale mm(device);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    QString text = valueOf(i);
    if (text.isEmpty())
      continue;
    const ReportText &t = texts[i];
    const QFont font = ReportFont(t);
    const QFontMetricsF metrics(font, &device);
    const double room = RoomOf(texts, i) * mm.x;
    double stretch = 1;
    const double width = metrics.horizontalAdvance(text);
    const double top = (bandTop + std::max(0.0, t.top)) * mm.y;
    // Broken between words when two lines fit the band and the words fit the room.
    if (width > room && t.top < 0 && !t.centred && 2 * metrics.lineSpacing() <= bandHeight * mm.y) {
      const QRectF box(t.left * mm.x, top, room, bandHeight * mm.y);
      const QRectF needed =
          metrics.boundingRect(QRectF(0, 0, room, bandHeight * mm.y), Qt::TextWordWrap, text);
      if (needed.width() <= room && needed.height() <= box.height()) {
        painter.save();
        painter.setFont(font);
        painter.drawText(box, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap, text);
        painter.restore();
        continue;
      }
    }
    if (width > room) {
      stretch = std::max(kMinStretch, room / width);
      if (width * stretch > room)
        text = metrics.elidedText(text, Qt::ElideRight, room / stretch);
    }
    const double height = t.top < 0 ? bandHeight * mm.y : metrics.height();
    const int vertical = t.top < 0 ? Qt::AlignVCenter : Qt::AlignTop;
    painter.save();
    painter.setFont(font);
    painter.translate(t.centred ? 0 : t.left * mm.x, top);
    painter.scale(stretch, 1);
    painter.drawText(QRectF(0, 0, room / stretch, height),
                     vertical | (t.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::TextSingleLine,
                     text);
    painter.restore();
  }
}
