#pragma once
#include "dialogs/ReportPreview.h"

class RecordSet;

// The printed report of a person's history (QR_History): the title with the
// person's names, the column titles on the first page, then one line per
// event in the order of the history query, none left out.
class TFormPrintHistory : public TReportWindow {
  Q_OBJECT
public:
  explicit TFormPrintHistory(AppContext &ctx, QWidget *parent = nullptr);

  // Binds the report to the data module's history query as the history list
  // left it (opened when it is closed), with `userLine` under the title,
  // applies the texts and opens the print preview. False, with nothing shown,
  // when the query cannot be opened.
  bool ShowReport(const QString &userLine);

  // The report's texts from the current language.
  void ApplyTexts();

  // Renderers of the event, value and accumulated-dose cells of one row of
  // `history`; `value` holds the field's own text and receives what is printed.
  void QT_EventPrint(const RecordSet &history, int row, QString &value) const;
  void QT_ValuePrint(const RecordSet &history, int row, QString &value) const;
  void QT_DEValuePrint(const RecordSet &history, int row, QString &value) const;

  // A stored event time (a day count) as the history shows it: the short date
  // and the long time of the default locale, the date alone at midnight.
  // Empty for NULL or a value that is not a date.
  static QString EventTimeText(const QVariant &dayCount);

private:
  enum Field { Date, Event, Value, DEValue, DevNum, FieldCount };
  QString FieldText(const RecordSet &history, int row, int field) const;
  int EventCode(const RecordSet &history, int row) const;
  QVariant Column(const RecordSet &history, int row, const char *name) const;
  // A dose cell: the formatted value of `column` for the two event codes
  // that show it, when it is a number of 0 or more; empty otherwise.
  QString DoseCell(const RecordSet &history, int row, const char *column, int codeA, int codeB,
                   bool rate) const;

  QString caption_;
};
