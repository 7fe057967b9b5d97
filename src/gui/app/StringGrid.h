#pragma once
#include <QAbstractTableModel>
#include <QStringList>
#include <QTableView>
#include <vector>

// Cells of a string grid: a title row (the header) and data rows of text.
// Row numbers follow the grid's own counting: row 0 is the title row, data
// rows start at 1.
class StringGridModel : public QAbstractTableModel {
  Q_OBJECT
public:
  explicit StringGridModel(int columns, QObject *parent = nullptr);

  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;

  void setTitle(int column, const QString &text);
  QString title(int column) const;

  // Rows including the title row.
  int RowCount() const { return int(rows_.size()) + 1; }
  void SetRowCount(int n);
  QString Cell(int column, int row) const;
  void SetCell(int column, int row, const QString &text);
  // Empties every data cell and sets the row count to n + 1.
  void ClearGrid(int n);
  // Replaces all data rows at once (each row: one text per column).
  void SetRows(std::vector<QStringList> rows);

private:
  int columns_;
  QStringList titles_;
  std::vector<QStringList> rows_;
};

// A string grid on screen: whole-row selection of consecutive rows.
class StringGrid : public QTableView {
  Q_OBJECT
public:
  StringGrid(int columns, QWidget *parent = nullptr);
  StringGridModel &cells() { return model_; }
  const StringGridModel &cells() const { return model_; }

  // The selected row in grid counting (1 = first data row), 0 when none.
  int SelectedRow() const;
  void SelectRow(int row);
  // First and last selected rows in grid counting; both 0 when none.
  std::pair<int, int> SelectedRange() const;

private:
  StringGridModel model_;
};
