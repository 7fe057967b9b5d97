#include "main/StringGrid.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>

StringGridModel::StringGridModel(int columns, QObject *parent)
    : QAbstractTableModel(parent), columns_(columns) {
  for (int c = 0; c < columns; ++c)
    titles_ << QString();
}

int StringGridModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : dataRows_;
}

int StringGridModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : columns_;
}

QVariant StringGridModel::data(const QModelIndex &index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid())
    return {};
  return Cell(index.column(), index.row() + 1);
}

QVariant StringGridModel::headerData(int section, Qt::Orientation o, int role) const {
  if (role == Qt::DisplayRole && o == Qt::Horizontal && section >= 0 && section < columns_)
    return titles_[section];
  return QAbstractTableModel::headerData(section, o, role);
}

Qt::ItemFlags StringGridModel::flags(const QModelIndex &index) const {
  if (!index.isValid() || index.row() >= FilledRows())
    return Qt::NoItemFlags;
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

void StringGridModel::setTitle(int column, const QString &text) {
  if (column < 0 || column >= columns_)
    return;
  titles_[column] = text;
  emit headerDataChanged(Qt::Horizontal, column, column);
}

QString StringGridModel::title(int column) const {
  return column >= 0 && column < columns_ ? titles_[column] : QString();
}

bool StringGridModel::RowFilled(int row) const {
  const QString text = Cell(0, row);
  return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 32; });
}

namespace {

// Draws the line under each cell for grids with horizontal lines only.
class HorizontalLineDelegate : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter *p, const QStyleOptionViewItem &option,
             const QModelIndex &index) const override {
    QStyledItemDelegate::paint(p, option, index);
    p->save();
    p->setPen(option.palette.color(QPalette::Mid));
    p->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    p->restore();
  }
};

} // namespace

StringGrid::StringGrid(StringGridModel *cells, Lines lines, QWidget *parent)
    : QTableView(parent), model_(cells) {
  model_->setParent(this);
  setModel(model_);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setTabKeyNavigation(false);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setSectionsClickable(false);
  // The view follows the scroll thumb while it is dragged.
  verticalScrollBar()->setTracking(true);
  // Always there, so the client width the column layout reads does not
  // change when a fill makes the list longer than the window.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  if (lines == Lines::Horizontal) {
    setShowGrid(false);
    setItemDelegate(new HorizontalLineDelegate(this));
  } else {
    setShowGrid(true);
  }
}

int StringGrid::SelectedRow() const {
  const QModelIndex cur = currentIndex();
  if (cur.isValid() && selectionModel()->isRowSelected(cur.row(), {}))
    return cur.row() + 1;
  return SelectedRange().second;
}

void StringGrid::SelectRow(int row) {
  SelectRows(row, row);
}

// Selection by the program: whole rows, whatever keys the operator holds.
void StringGrid::SelectRows(int top, int bottom) {
  if (top < 1 || bottom < top || bottom > model_->rowCount())
    return;
  const QItemSelection range(model_->index(top - 1, 0),
                             model_->index(bottom - 1, model_->ColCount() - 1));
  selectionModel()->setCurrentIndex(model_->index(bottom - 1, 0), QItemSelectionModel::NoUpdate);
  selectionModel()->select(range, QItemSelectionModel::ClearAndSelect);
}

std::pair<int, int> StringGrid::SelectedRange() const {
  const QItemSelection sel = selectionModel()->selection();
  if (sel.isEmpty())
    return {0, 0};
  int lo = sel.first().top(), hi = sel.first().bottom();
  for (const QItemSelectionRange &r : sel) {
    lo = std::min(lo, r.top());
    hi = std::max(hi, r.bottom());
  }
  return {lo + 1, hi + 1};
}

int StringGrid::TopRow() const {
  const int r = rowAt(0);
  return r < 0 ? 0 : r + 1;
}

void StringGrid::SetTopRow(int row) {
  if (row < 1 || row > model_->rowCount())
    return;
  scrollTo(model_->index(row - 1, 0), QAbstractItemView::PositionAtTop);
}

int StringGrid::NeededWidth(int column) const {
  return std::max(horizontalHeader()->sectionSizeHint(column), sizeHintForColumn(column));
}
