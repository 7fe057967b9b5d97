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

  // Rebuilds the rows from `history`, in its order. Events without a time or
  // with an event code outside 1 to 9 get no row, and the next one takes its
  // place. The row count grows in steps of RowStep as the walk needs it.
  // Returns the number of rows written.
  int Fill(const QList<StoredEvent> &history, const TextTable &texts, bool roentgen);

  QString Cell(int column, int row) const override;
  void ClearGrid(int n) override;

  // Date and time formats of the date/time column: the operator's short date
  // format and long time format (without a time zone, which stored times do
  // not have).
  static QString DateTimeText(double dayCount);

private:
  QList<StoredEvent> events_;
  std::vector<qsizetype> shown_; // the event behind each data row
  TextTable texts_;
  bool roentgen_ = false;
};
