#pragma once
#include "dialogs/ReportPreview.h"

class RecordSet;

// The printed report of the user list (QRPrintUser): one line per person with
// the three names and the instrument held, the column titles on every page.
class TFormPrintUser : public TReportWindow {
  Q_OBJECT
public:
  explicit TFormPrintUser(AppContext &ctx, QWidget *parent = nullptr);

  // Binds the report to the data module's user query (opened when it is
  // closed), applies the texts and opens the print preview. False, with
  // nothing shown, when the query cannot be opened.
  bool ShowReport();

  // The report's texts from the current language.
  void ApplyTexts();

  // The instrument cell: empty for a number below 0 or a text that is not a
  // number, otherwise the field's text unchanged.
  static void QT_DevIdPrint(QString &value);

private:
  QString FieldText(const RecordSet &users, int row, int field) const;

  QString caption_;
  int columns_[4] = {-1, -1, -1, -1}; // query columns of the four detail fields
};
