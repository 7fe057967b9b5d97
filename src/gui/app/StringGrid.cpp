#include "app/StringGrid.h"

#include <QHeaderView>
#include <QItemSelectionModel>

StringGridModel::StringGridModel(int columns, QObject *parent)
    : QAbstractTableModel(parent), columns_(columns) {
  for (int c = 0; c < columns; ++c)
    titles_ << QString();
}

int StringGridModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : int(rows_.size());
}

int StringGridModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : columns_;
}

QVariant StringGridModel::data(const QModelIndex &index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= int(rows_.size()))
    return {};
  const QStringList &r = rows_[size_t(index.row())];
  return index.column() < r.size() ? r[index.column()] : QString();
}

QVariant StringGridModel::headerData(int section, Qt::Orientation o, int role) const {
  if (role == Qt::DisplayRole && o == Qt::Horizontal && section >= 0 && section < columns_)
    return titles_[section];
  return QAbstractTableModel::headerData(section, o, role);
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

void StringGridModel::SetRowCount(int n) {
  int want = std::max(0, n - 1);
  int have = int(rows_.size());
  if (want > have) {
    beginInsertRows({}, have, want - 1);
    QStringList empty;
    for (int c = 0; c < columns_; ++c)
      empty << QString();
    rows_.resize(size_t(want), empty);
    endInsertRows();
  } else if (want < have) {
    beginRemoveRows({}, want, have - 1);
    rows_.resize(size_t(want));
    endRemoveRows();
  }
}

QString StringGridModel::Cell(int column, int row) const {
  if (row < 1 || row > int(rows_.size()) || column < 0 || column >= columns_)
    return {};
  return rows_[size_t(row - 1)][column];
}

void StringGridModel::SetCell(int column, int row, const QString &text) {
  if (row < 1 || row > int(rows_.size()) || column < 0 || column >= columns_)
    return;
  rows_[size_t(row - 1)][column] = text;
  QModelIndex i = index(row - 1, column);
  emit dataChanged(i, i, {Qt::DisplayRole});
}

void StringGridModel::ClearGrid(int n) {
  beginResetModel();
  QStringList empty;
  for (int c = 0; c < columns_; ++c)
    empty << QString();
  rows_.assign(size_t(std::max(0, n)), empty);
  endResetModel();
}

void StringGridModel::SetRows(std::vector<QStringList> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  for (auto &r : rows_)
    while (r.size() < columns_)
      r << QString();
  endResetModel();
}

StringGrid::StringGrid(int columns, QWidget *parent) : QTableView(parent), model_(columns) {
  setModel(&model_);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setHighlightSections(false);
  setWordWrap(false);
}

int StringGrid::SelectedRow() const {
  QModelIndex cur = currentIndex();
  return cur.isValid() ? cur.row() + 1 : 0;
}

void StringGrid::SelectRow(int row) {
  if (row < 1 || row > model_.rowCount())
    return;
  selectRow(row - 1);
}

std::pair<int, int> StringGrid::SelectedRange() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  if (rows.isEmpty())
    return {0, 0};
  int lo = rows.first().row(), hi = lo;
  for (const QModelIndex &i : rows) {
    lo = std::min(lo, i.row());
    hi = std::max(hi, i.row());
  }
  return {lo + 1, hi + 1};
}
