#pragma once
#include <QAbstractTableModel>
#include <QStringList>
#include <QTableView>

// Cells of a string grid: a title row (the header) and data rows of text.
// Row numbers follow the grid's own counting: row 0 is the title row, data
// rows start at 1. How the cells are kept is up to the kind of grid; readers
// (exports, tests) go through Cell.
class StringGridModel : public QAbstractTableModel {
  Q_OBJECT
public:
  explicit StringGridModel(int columns, QObject *parent = nullptr);

  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;
  // The empty rows after the last filled one can be neither selected nor
  // reached with the keys.
  Qt::ItemFlags flags(const QModelIndex &index) const override;

  void setTitle(int column, const QString &text);
  QString title(int column) const;

  // Rows including the title row.
  int RowCount() const { return dataRows_ + 1; }
  int ColCount() const { return columns_; }
  // The text of a cell; empty outside the data rows.
  virtual QString Cell(int column, int row) const = 0;
  // A row counts as filled when its column 0 holds more than characters of
  // codes 0 to 32.
  bool RowFilled(int row) const;
  // Empties every data cell and sets the row count to n + 1.
  virtual void ClearGrid(int n) = 0;
  // The data rows that hold something, from the first one on; the rest are
  // the empty rows of the grid's step. All of them unless a grid says less.
  virtual int FilledRows() const { return dataRows_; }

protected:
  // Announces a new set of rows to the views (between begin/endResetModel).
  void setDataRows(int n) { dataRows_ = n; }

private:
  int columns_;
  int dataRows_ = 0;
  QStringList titles_;
};

// A string grid on screen: whole-row selection of consecutive rows, no
// editing, the title row as header.
class StringGrid : public QTableView {
  Q_OBJECT
public:
  enum class Lines { Horizontal, Both };
  // The grid takes ownership of the model.
  StringGrid(StringGridModel *cells, Lines lines, QWidget *parent = nullptr);
  StringGridModel &cells() { return *model_; }
  const StringGridModel &cells() const { return *model_; }

  // The selected row in grid counting (1 = first data row), 0 when none.
  int SelectedRow() const;
  void SelectRow(int row);
  // Selects rows top to bottom (grid counting), whole rows.
  void SelectRows(int top, int bottom);
  // First and last selected rows in grid counting; both 0 when none.
  std::pair<int, int> SelectedRange() const;
  // The first data row shown at the top (grid counting), and scrolling to it.
  int TopRow() const;
  void SetTopRow(int row);
  // The width a column needs for its title and the cells in view.
  int NeededWidth(int column) const;

private:
  StringGridModel *model_;
};
