#pragma once
#include <QString>
#include <QVariant>
#include <vector>

// One column of a record set, stored compactly: a typed vector for the kind
// the column holds (integer, real or text) plus a NULL mark per row. A column
// whose rows mix kinds falls back to QVariant cells.
class RecordColumn {
public:
  enum class Kind : quint8 { Empty, Integer, Real, Text, Variant };

  void Reserve(int rows);
  void Append(const QVariant &value);
  void AppendNull();

  int Size() const { return size_; }
  Kind kind() const { return kind_; }
  bool IsNull(int row) const { return nulls_[std::size_t(row)] != 0; }

  // The cell as a QVariant: qlonglong, double or QString; an invalid
  // (null) QVariant for NULL.
  QVariant Value(int row) const;

  // Direct access for the kind the column holds; row must not be NULL.
  qint64 IntegerAt(int row) const { return ints_[std::size_t(row)]; }
  double RealAt(int row) const { return reals_[std::size_t(row)]; }
  const QString &TextAt(int row) const { return texts_[std::size_t(row)]; }
  const QVariant &VariantAt(int row) const { return variants_[std::size_t(row)]; }

private:
  void Become(Kind kind);
  void FallBackToVariant();

  Kind kind_ = Kind::Empty;
  int size_ = 0;
  std::vector<quint8> nulls_;
  std::vector<qint64> ints_;
  std::vector<double> reals_;
  std::vector<QString> texts_;
  std::vector<QVariant> variants_;
};
