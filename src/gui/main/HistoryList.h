#pragma once
#include "lang/TextTable.h"
#include "main/StringGrid.h"

#include <vector>

class RecordSet;

// The cells of the history list. A fill takes a compact copy of the events it
// shows (time, code, values, instrument), together with the event texts and
// the unit system in force at that moment; the cell texts are formatted when
// the view asks for them. So the rows stay as filled, whatever later happens
// to the history query, and a large history costs one small record per event.
class HistoryGridModel : public StringGridModel {
  Q_OBJECT
public:
  static constexpr int Columns = 5;
  static constexpr int RowStep = 40;

  explicit HistoryGridModel(QObject *parent = nullptr);

  // Rebuilds the rows from the visible rows of `history`, in their order.
  // Records without a time or with an event code outside 1 to 9 get no row.
  // The row count grows in steps of RowStep as the walk needs it. Returns the
  // number of rows written.
  int Fill(const RecordSet &history, const TextTable &texts, bool roentgen);

  QString Cell(int column, int row) const override;
  void ClearGrid(int n) override;

  // Date and time formats of the date/time column: the operator's short date
  // format and long time format (without a time zone, which stored times do
  // not have).
  static QString DateTimeText(double dayCount);

private:
  struct Event {
    double when;
    double value;
    double de;
    qint64 device;
    quint8 type;
    quint8 flags;
  };
  std::vector<Event> events_;
  TextTable texts_;
  bool roentgen_ = false;
};
