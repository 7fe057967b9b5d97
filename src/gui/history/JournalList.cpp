#include "history/JournalList.h"

#include "main/HistoryList.h"

JournalModel::JournalModel(QObject *parent) : QAbstractTableModel(parent) {}

void JournalModel::Fill(QList<JournalEntry> entries, const TextTable &texts) {
  beginResetModel();
  entries_ = std::move(entries);
  texts_ = &texts;
  endResetModel();
  emit headerDataChanged(Qt::Horizontal, 0, Columns - 1);
}

int JournalModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : int(entries_.size());
}

int JournalModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : Columns;
}

QString JournalModel::ActionText(int action, const TextTable &texts) {
  if (action >= int(JournalAction::ReadingFiled) && action <= int(JournalAction::Imported))
    return texts.text(ProgramText(int(ProgramText::ActionReadingFiled) + action - 1));
  if (action == int(JournalAction::HistoryRestored))
    return texts.text(ProgramText::ActionHistoryRestored);
  return texts.text(ProgramText::ActionUnknown).arg(action);
}

QString JournalModel::Cell(int row, int column) const {
  if (row < 0 || row >= entries_.size())
    return {};
  const JournalEntry &e = entries_[row];
  const auto number = [](std::optional<qint64> v) { return v ? QString::number(*v) : QString(); };
  switch (column) {
  case Time:
    return HistoryGridModel::DateTimeText(e.Time);
  case Desk:
    return e.Desk;
  case OsUser:
    return e.OsUser;
  case Action:
    return texts_ ? ActionText(e.Action, *texts_) : QString();
  case Person:
    if (!e.UserId)
      return {};
    return e.PersonName.isEmpty() ? QStringLiteral("(%1)").arg(*e.UserId)
                                  : QStringLiteral("%1 (%2)").arg(e.PersonName).arg(*e.UserId);
  case Device:
    return e.DeviceId && *e.DeviceId >= 1 ? number(e.DeviceId) : QString();
  case Count:
    return number(e.Count);
  default:
    return {};
  }
}

QVariant JournalModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid())
    return {};
  if (role == Qt::DisplayRole)
    return Cell(index.row(), index.column());
  if (role == Qt::TextAlignmentRole && (index.column() == Device || index.column() == Count))
    return int(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant JournalModel::headerData(int section, Qt::Orientation o, int role) const {
  if (role != Qt::DisplayRole || o != Qt::Horizontal || section < 0 || section >= Columns ||
      !texts_)
    return QAbstractTableModel::headerData(section, o, role);
  static const ProgramText titles[] = {ProgramText::JournalTime,   ProgramText::JournalDesk,
                                       ProgramText::JournalOsUser, ProgramText::JournalAction,
                                       ProgramText::JournalPerson, ProgramText::JournalDevice,
                                       ProgramText::JournalCount};
  return texts_->text(titles[section]);
}
