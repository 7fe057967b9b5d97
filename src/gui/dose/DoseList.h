#pragma once
#include <QAbstractTableModel>
#include <QList>

#include "dose/DoseTable.h"

class TextTable;

// The rows of the Doses view: one person each, doses in the unit of the
// settings. Every cell also gives its value to sort by (SortRole); a row over
// the investigation level or a limit is coloured and carries an icon and a
// tooltip saying which, so that colour is never the only sign.
class DoseListModel : public QAbstractTableModel {
  Q_OBJECT
public:
  enum Column { Name, Year, Last12Months, FiveYears, HighestRate, Alarms, LastReading, Columns };
  static constexpr int SortRole = Qt::UserRole + 1;

  explicit DoseListModel(QObject *parent = nullptr);

  void Fill(QList<PersonDose> rows, int year, const TextTable &texts, bool roentgen);
  const QList<PersonDose> &Rows() const { return rows_; }

  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;

  // The text of a cell, as the view shows it.
  QString Cell(int row, int column) const;
  // The text that names a mark (empty for none).
  static QString MarkText(DoseMark mark, const TextTable &texts);

private:
  QList<PersonDose> rows_;
  int year_ = 0;
  const TextTable *texts_ = nullptr;
  bool roentgen_ = false;
};
