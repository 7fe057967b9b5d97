#pragma once
#include <QList>
#include <optional>

#include "db/StoredEvent.h"
#include "dialogs/ReportPreview.h"

// The printed report of a person's history (QR_History): the title with the
// person's names, the column titles on the first page, then one line per
// event in the order of the rows, none left out.
class TFormPrintHistory : public TReportWindow {
  Q_OBJECT
public:
  explicit TFormPrintHistory(AppContext &ctx, QWidget *parent = nullptr);

  // Prints `shown`, the rows the history list was filled from, as they are,
  // with `userLine` under the title: applies the texts and opens the print
  // preview. Without rows (the last history select failed) the current
  // person's history is selected anew with the filter in force; false, with
  // nothing shown, when that fails too.
  bool ShowReport(const QString &userLine,
                  const std::optional<QList<StoredEvent>> &shown = std::nullopt);

  // The report's texts from the current language.
  void ApplyTexts();

  // Renderers of the event, value and accumulated-dose cells of one event;
  // `value` holds the cell's own text (the code, the stored value) and
  // receives what is printed.
  void QT_EventPrint(const StoredEvent &event, QString &value) const;
  void QT_ValuePrint(const StoredEvent &event, QString &value) const;
  void QT_DEValuePrint(const StoredEvent &event, QString &value) const;

  // A stored event time (a day count) as the history shows it: the short date
  // and the long time of the default locale, the date alone at midnight.
  // Empty for none or a value that is not a date.
  static QString EventTimeText(std::optional<double> dayCount);
  // The same for a cell as read from a database: NULL and texts that are
  // not numbers have no time.
  static QString EventTimeText(const QVariant &dayCount);

private:
  enum Field { Date, Event, Value, DEValue, DevNum, FieldCount };
  QString FieldText(const StoredEvent &event, int field) const;

  QString caption_;
};
