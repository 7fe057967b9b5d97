#pragma once
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

#include "history/RecordColumn.h"
#include "history/RecordFilter.h"

class QSqlQuery;

// The rows of one select, held in memory column by column: the result sets the
// data module shares with the windows (the user list, a user's history, the
// instrument numbers).
//
// Two ways to read it, both over the visible rows (all rows, or while
// Filtered() is on, the rows that pass Filter()):
// - a cursor (First, Next, Eof, RecNo, FieldByName) that the operations and
//   windows move, as one shared position;
// - indexed access (RowCount, Value) for item models; it does not move the
//   cursor.
// NULL cells read as an invalid QVariant (isNull() is true).
class RecordSet {
public:
  // Reads every row of an executed select and opens the set. The filter text
  // and flag are kept and applied to the new rows; the cursor goes to the first
  // row. False (and the set closed) when reading fails.
  bool Load(QSqlQuery &query);
  void Close();
  bool Active() const { return active_; }

  int FieldCount() const { return int(fields_.size()); }
  const QStringList &FieldNames() const { return fields_; }
  int FieldIndex(const QString &name) const; // case-insensitive; -1 when unknown

  // The client-side filter. Setting the text or the flag moves the cursor to
  // the first visible row. SetFilter answers false for a text it does not
  // understand; such a filter, while on, lets no row through.
  bool SetFilter(const QString &text);
  const QString &Filter() const { return filterText_; }
  void SetFiltered(bool on);
  bool Filtered() const { return filtered_; }

  // Cursor over the visible rows.
  int RecordCount() const { return RowCount(); }
  void First();
  void Last();
  void Next();
  void Prior();
  bool Eof() const { return cursor_ >= RowCount(); }
  bool Bof() const { return cursor_ < 0 || RowCount() == 0; }
  int RecNo() const; // 1-based; 0 when there is no current row
  bool SetRecNo(int recNo);
  QVariant FieldByName(const QString &name) const; // current row; invalid when no row or field
  QVariant FieldValue(int column) const;

  // Indexed access to the visible rows.
  int RowCount() const;
  QVariant Value(int row, int column) const;
  QVariant Value(int row, const QString &fieldName) const;
  bool IsNull(int row, int column) const;
  // The column storage and the row of the unfiltered set behind a visible row,
  // for readers that want typed access without a QVariant per cell.
  const RecordColumn &Column(int column) const { return columns_[std::size_t(column)]; }
  int SourceRow(int row) const { return filterOn() ? visible_[std::size_t(row)] : row; }

private:
  bool filterOn() const { return filtered_ && !filter_.PassesAll(); }
  void ApplyFilter();

  bool active_ = false;
  QStringList fields_;
  std::vector<RecordColumn> columns_;
  int rows_ = 0;
  QString filterText_;
  RecordFilter filter_;
  bool filtered_ = false;
  std::vector<int> visible_; // source rows passing the filter, while it is on
  int cursor_ = 0;
};
