#pragma once
#include "db/Person.h"
#include "main/StringGrid.h"

#include <QList>

// The cells of the user list over the people of the register: second, first
// and middle name, and the instrument a person holds (shown when 1 or more).
// Each row keeps its person, so a command acts on the person the operator
// sees, whatever happened to the database since the fill.
class UserGridModel : public StringGridModel {
  Q_OBJECT
public:
  static constexpr int Columns = 4;
  static constexpr int RowStep = 20;

  explicit UserGridModel(QObject *parent = nullptr);

  // Rebuilds the rows from `people`, in their order. The row count is a
  // multiple of RowStep, at least one step, so up to RowStep empty rows
  // follow the last person.
  void Fill(QList<Person> people);
  // The person of a data row (grid counting, 1 = first); none for an empty row.
  const Person *PersonAt(int row) const;

  QString Cell(int column, int row) const override;
  void ClearGrid(int n) override;
  int FilledRows() const override { return int(people_.size()); }

private:
  QList<Person> people_;
};
