#pragma once
#include <QAbstractTableModel>
#include <QList>

#include "db/Journal.h"
#include "lang/TextTable.h"

// The rows of the journal view: one journal row each, newest first, with the
// texts of the language in use.
class JournalModel : public QAbstractTableModel {
  Q_OBJECT
public:
  enum Column { Time, Desk, OsUser, Action, Person, Device, Count, Columns };

  explicit JournalModel(QObject *parent = nullptr);

  void Fill(QList<JournalEntry> entries, const TextTable &texts);

  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;

  // The text of a cell, as the view shows it.
  QString Cell(int row, int column) const;
  // The name of an action in a language (unknown codes by their number).
  static QString ActionText(int action, const TextTable &texts);

private:
  QList<JournalEntry> entries_;
  const TextTable *texts_ = nullptr;
};
