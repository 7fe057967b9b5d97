#include "history/RecordColumn.h"

#include <limits>

namespace {
RecordColumn::Kind KindOf(const QVariant &v) {
  switch (v.typeId()) {
  case QMetaType::Int:
  case QMetaType::UInt:
  case QMetaType::LongLong:
  case QMetaType::Bool:
    return RecordColumn::Kind::Integer;
  case QMetaType::ULongLong:
    return v.toULongLong() <= quint64(std::numeric_limits<qint64>::max())
               ? RecordColumn::Kind::Integer
               : RecordColumn::Kind::Variant;
  case QMetaType::Double:
  case QMetaType::Float:
    return RecordColumn::Kind::Real;
  case QMetaType::QString:
    return RecordColumn::Kind::Text;
  default:
    return RecordColumn::Kind::Variant;
  }
}
} // namespace

void RecordColumn::Reserve(int rows) {
  nulls_.reserve(std::size_t(rows));
  switch (kind_) {
  case Kind::Integer:
    ints_.reserve(std::size_t(rows));
    break;
  case Kind::Real:
    reals_.reserve(std::size_t(rows));
    break;
  case Kind::Text:
    texts_.reserve(std::size_t(rows));
    break;
  case Kind::Variant:
    variants_.reserve(std::size_t(rows));
    break;
  case Kind::Empty:
    break;
  }
}

void RecordColumn::Become(Kind kind) {
  kind_ = kind;
  const auto n = std::size_t(size_);
  switch (kind) {
  case Kind::Integer:
    ints_.assign(n, 0);
    ints_.reserve(nulls_.capacity());
    break;
  case Kind::Real:
    reals_.assign(n, 0.0);
    reals_.reserve(nulls_.capacity());
    break;
  case Kind::Text:
    texts_.assign(n, QString());
    texts_.reserve(nulls_.capacity());
    break;
  case Kind::Variant:
    variants_.assign(n, QVariant());
    variants_.reserve(nulls_.capacity());
    break;
  case Kind::Empty:
    break;
  }
}

void RecordColumn::FallBackToVariant() {
  std::vector<QVariant> cells;
  cells.reserve(nulls_.capacity());
  for (int row = 0; row < size_; ++row)
    cells.push_back(Value(row));
  ints_ = {};
  reals_ = {};
  texts_ = {};
  variants_ = std::move(cells);
  kind_ = Kind::Variant;
}

void RecordColumn::AppendNull() {
  nulls_.push_back(1);
  switch (kind_) {
  case Kind::Integer:
    ints_.push_back(0);
    break;
  case Kind::Real:
    reals_.push_back(0.0);
    break;
  case Kind::Text:
    texts_.emplace_back();
    break;
  case Kind::Variant:
    variants_.emplace_back();
    break;
  case Kind::Empty:
    break;
  }
  ++size_;
}

void RecordColumn::Append(const QVariant &value) {
  if (value.isNull()) {
    AppendNull();
    return;
  }
  const Kind kind = KindOf(value);
  if (kind_ == Kind::Empty)
    Become(kind);
  else if (kind_ != kind && kind_ != Kind::Variant)
    FallBackToVariant();
  nulls_.push_back(0);
  switch (kind_) {
  case Kind::Integer:
    ints_.push_back(value.toLongLong());
    break;
  case Kind::Real:
    reals_.push_back(value.toDouble());
    break;
  case Kind::Text:
    texts_.push_back(value.toString());
    break;
  case Kind::Variant:
    variants_.push_back(value);
    break;
  case Kind::Empty:
    break;
  }
  ++size_;
}

QVariant RecordColumn::Value(int row) const {
  if (row < 0 || row >= size_ || IsNull(row))
    return {};
  switch (kind_) {
  case Kind::Integer:
    return QVariant(qlonglong(IntegerAt(row)));
  case Kind::Real:
    return QVariant(RealAt(row));
  case Kind::Text:
    return QVariant(TextAt(row));
  case Kind::Variant:
    return VariantAt(row);
  case Kind::Empty:
    break;
  }
  return {};
}
