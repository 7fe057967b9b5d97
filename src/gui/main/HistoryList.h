#pragma once
#include "db/StoredEvent.h"
#include "lang/TextTable.h"
#include "main/StringGrid.h"

#include <QList>
#include <vector>

// The cells of the history list over a person's stored events. A fill keeps
// the events (shared, not copied), which of them get a row, and the event
// texts and unit system in force at that moment; the cell texts are formatted
// when the view asks for them. So the rows stay as filled until the next
// fill, and a large history costs one index per row on top of the events.
class HistoryGridModel : public StringGridModel {
  Q_OBJECT
public:
  static constexpr int Columns = 5;
  static constexpr int RowStep = 40;

  explicit HistoryGridModel(QObject *parent = nullptr);

  // Rebuilds the rows from `history`, in its order or in the order of the
  // column last sorted by. Events without a time or with an event code
  // outside 1 to 9 get no row, and the next one takes its place. The row count
  // grows in steps of RowStep as the walk needs it. Returns the number of rows
  // written.
  int Fill(const QList<StoredEvent> &history, const TextTable &texts, bool roentgen);

  // Orders the rows by a column: the time, the event's text in the
  // operator's language, the rate, the dose, the instrument; rows of one
  // value stay in time order, and empty cells count as the lowest. Selected
  // rows stay with their events.
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  QString Cell(int column, int row) const override;
  void ClearGrid(int n) override;
  int FilledRows() const override { return int(shown_.size()); }

  // Date and time formats of the date/time column: the operator's short date
  // format and long time format (without a time zone, which stored times do
  // not have).
  static QString DateTimeText(double dayCount);

private:
  QList<StoredEvent> events_;
  // Puts the listed events into shown_ in the order of the sort column.
  void ArrangeRows();
  QString EventText(const StoredEvent &e) const;

  std::vector<qsizetype> listed_; // the events that get a row, in fill order
  std::vector<qsizetype> shown_;  // the event behind each data row
  int sortColumn_ = -1;           // none: the order of the fill
  Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
  TextTable texts_;
  bool roentgen_ = false;
};
