#include "dose/DoseList.h"

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QIcon>
#include <QStyle>

#include "history/DoseFormat.h"
#include "lang/TextTable.h"
#include "main/HistoryList.h"

DoseListModel::DoseListModel(QObject *parent) : QAbstractTableModel(parent) {}

void DoseListModel::Fill(QList<PersonDose> rows, int year, const TextTable &texts, bool roentgen) {
  beginResetModel();
  rows_ = std::move(rows);
  year_ = year;
  texts_ = &texts;
  roentgen_ = roentgen;
  endResetModel();
  emit headerDataChanged(Qt::Horizontal, 0, Columns - 1);
}

int DoseListModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : int(rows_.size());
}

int DoseListModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : Columns;
}

QString DoseListModel::MarkText(DoseMark mark, const TextTable &texts) {
  switch (mark) {
  case DoseMark::OverLimit:
    return texts.text(ProgramText::DosesOverLimit);
  case DoseMark::OverInvestigationLevel:
    return texts.text(ProgramText::DosesOverInvestigation);
  case DoseMark::None:
    break;
  }
  return {};
}

QString DoseListModel::Cell(int row, int column) const {
  if (row < 0 || row >= rows_.size() || !texts_)
    return {};
  const PersonDose &d = rows_[row];
  auto dose = [&](double sv) { return FormatDose(sv, roentgen_, false, *texts_); };
  switch (column) {
  case Name:
    return PersonName(d.person);
  case Year:
    return dose(d.Year);
  case Last12Months:
    return dose(d.Last12Months);
  case FiveYears:
    return dose(d.FiveYears);
  case HighestRate:
    return d.activity.HighestRate ? FormatDose(*d.activity.HighestRate, roentgen_, true, *texts_)
                                  : QString();
  case Alarms:
    return QString::number(d.activity.Alarms);
  case LastReading:
    return d.activity.LastReading ? HistoryGridModel::DateTimeText(*d.activity.LastReading)
                                  : QString();
  default:
    return {};
  }
}

QVariant DoseListModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || index.row() >= rows_.size() || !texts_)
    return {};
  const PersonDose &d = rows_[index.row()];
  switch (role) {
  case Qt::DisplayRole:
    return Cell(index.row(), index.column());
  case SortRole:
    switch (index.column()) {
    case Name:
      return PersonName(d.person).toLower();
    case Year:
      return d.Year;
    case Last12Months:
      return d.Last12Months;
    case FiveYears:
      return d.FiveYears;
    case HighestRate:
      return d.activity.HighestRate.value_or(-1);
    case Alarms:
      return d.activity.Alarms;
    case LastReading:
      return d.activity.LastReading.value_or(-1e9);
    }
    return {};
  case Qt::TextAlignmentRole:
    return index.column() == Name ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                  : QVariant(Qt::AlignRight | Qt::AlignVCenter);
  case Qt::BackgroundRole:
    if (d.mark == DoseMark::OverLimit)
      return QBrush(QColor(0xf4, 0xb4, 0xb4));
    if (d.mark == DoseMark::OverInvestigationLevel)
      return QBrush(QColor(0xfb, 0xe3, 0x9c));
    return {};
  case Qt::ForegroundRole:
    return d.mark == DoseMark::None ? QVariant() : QVariant(QBrush(Qt::black));
  case Qt::DecorationRole:
    if (index.column() != Name || d.mark == DoseMark::None)
      return {};
    return QApplication::style()->standardIcon(d.mark == DoseMark::OverLimit
                                                   ? QStyle::SP_MessageBoxCritical
                                                   : QStyle::SP_MessageBoxWarning);
  case Qt::ToolTipRole:
  case Qt::AccessibleDescriptionRole:
    return MarkText(d.mark, *texts_);
  default:
    return {};
  }
}

QVariant DoseListModel::headerData(int section, Qt::Orientation o, int role) const {
  if (role != Qt::DisplayRole || o != Qt::Horizontal || section < 0 || section >= Columns ||
      !texts_)
    return QAbstractTableModel::headerData(section, o, role);
  switch (section) {
  case Name:
    return texts_->text(ProgramText::DosesPerson);
  case Year:
    return texts_->text(ProgramText::DosesYearDose).arg(year_);
  case Last12Months:
    return texts_->text(ProgramText::DosesLast12Months);
  case FiveYears:
    return texts_->text(ProgramText::DosesFiveYears)
        .arg(QStringLiteral("%1–%2").arg(year_ - 4).arg(year_));
  case HighestRate:
    return texts_->text(ProgramText::DosesHighestRate);
  case Alarms:
    return texts_->text(ProgramText::DosesAlarms);
  case LastReading:
    return texts_->text(ProgramText::DosesLastReading);
  }
  return {};
}
