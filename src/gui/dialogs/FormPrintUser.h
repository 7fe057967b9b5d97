#pragma once
#include <QList>

#include "db/Person.h"
#include "dialogs/ReportPreview.h"

// The printed report of the user list (QRPrintUser): one line per person with
// the three names and the instrument held, the column titles on every page.
class TFormPrintUser : public TReportWindow {
  Q_OBJECT
public:
  explicit TFormPrintUser(AppContext &ctx, QWidget *parent = nullptr);

  // Reads the register, applies the texts and opens the print preview of
  // every person in the database's order. False, with nothing shown, when the
  // register cannot be read.
  bool ShowReport();

  // The report's texts from the current language.
  void ApplyTexts();

  // The instrument cell: the stored number when it is 0 or more, else empty.
  static QString QT_DevIdPrint(const Person &person);

private:
  QString FieldText(int row, int field) const;

  QString caption_;
  QList<Person> people_; // the rows of the report last shown
};
