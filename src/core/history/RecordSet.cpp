#include "history/RecordSet.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

bool RecordSet::Load(QSqlQuery &query) {
  Close();
  const QSqlRecord record = query.record();
  const int n = record.count();
  std::vector<RecordColumn> columns(static_cast<std::size_t>(n));
  QStringList fields;
  for (int c = 0; c < n; ++c)
    fields << record.fieldName(c);
  int rows = 0;
  while (query.next()) {
    for (int c = 0; c < n; ++c)
      columns[std::size_t(c)].Append(query.value(c));
    ++rows;
  }
  if (query.lastError().isValid())
    return false;
  fields_ = std::move(fields);
  columns_ = std::move(columns);
  rows_ = rows;
  active_ = true;
  filter_.Compile(filterText_, fields_);
  ApplyFilter();
  return true;
}

void RecordSet::Close() {
  active_ = false;
  fields_.clear();
  columns_.clear();
  rows_ = 0;
  visible_.clear();
  cursor_ = 0;
}

int RecordSet::FieldIndex(const QString &name) const {
  for (qsizetype i = 0; i < fields_.size(); ++i)
    if (fields_[i].compare(name, Qt::CaseInsensitive) == 0)
      return int(i);
  return -1;
}

bool RecordSet::SetFilter(const QString &text) {
  filterText_ = text;
  const bool ok = filter_.Compile(text, fields_) || !active_;
  ApplyFilter();
  return ok;
}

void RecordSet::SetFiltered(bool on) {
  filtered_ = on;
  ApplyFilter();
}

void RecordSet::ApplyFilter() {
  visible_.clear();
  if (filterOn())
    for (int row = 0; row < rows_; ++row)
      if (filter_.Passes(columns_, row))
        visible_.push_back(row);
  cursor_ = 0;
}

int RecordSet::RowCount() const {
  if (!active_)
    return 0;
  return filterOn() ? int(visible_.size()) : rows_;
}

void RecordSet::First() {
  cursor_ = 0;
}
void RecordSet::Last() {
  cursor_ = std::max(0, RowCount() - 1);
}
void RecordSet::Next() {
  if (cursor_ < RowCount())
    ++cursor_;
}
void RecordSet::Prior() {
  if (cursor_ >= 0)
    --cursor_;
}

int RecordSet::RecNo() const {
  return cursor_ >= 0 && cursor_ < RowCount() ? cursor_ + 1 : 0;
}

bool RecordSet::SetRecNo(int recNo) {
  if (recNo < 1 || recNo > RowCount())
    return false;
  cursor_ = recNo - 1;
  return true;
}

QVariant RecordSet::FieldByName(const QString &name) const {
  return FieldValue(FieldIndex(name));
}

QVariant RecordSet::FieldValue(int column) const {
  if (RecNo() == 0)
    return {};
  return Value(cursor_, column);
}

QVariant RecordSet::Value(int row, int column) const {
  if (row < 0 || row >= RowCount() || column < 0 || column >= FieldCount())
    return {};
  return columns_[std::size_t(column)].Value(SourceRow(row));
}

QVariant RecordSet::Value(int row, const QString &fieldName) const {
  return Value(row, FieldIndex(fieldName));
}

bool RecordSet::IsNull(int row, int column) const {
  return Value(row, column).isNull();
}
