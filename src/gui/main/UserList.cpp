#include "main/UserList.h"

#include <algorithm>

UserGridModel::UserGridModel(QObject *parent) : StringGridModel(Columns, parent) {}

void UserGridModel::Fill(QList<Person> people) {
  const int n = int(people.size());
  beginResetModel();
  people_ = std::move(people);
  setDataRows(std::max(RowStep, (n + RowStep - 1) / RowStep * RowStep));
  endResetModel();
}

void UserGridModel::ClearGrid(int n) {
  beginResetModel();
  people_.clear();
  setDataRows(std::max(0, n));
  endResetModel();
}

const Person *UserGridModel::PersonAt(int row) const {
  return row >= 1 && row <= people_.size() ? &people_[row - 1] : nullptr;
}

QString UserGridModel::Cell(int column, int row) const {
  const Person *p = PersonAt(row);
  if (!p)
    return {};
  switch (column) {
  case 0:
    return p->SecondName;
  case 1:
    return p->FirstName;
  case 2:
    return p->MiddleName;
  case 3:
    return p->HoldsInstrument() ? QString::number(p->DeviceId) : QString();
  default:
    return {};
  }
}
