#pragma once
#include "dialogs/ReportPreview.h"
#include "dose/AnnualReport.h"

class DoseListModel;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QSpinBox;
class QTableView;

// The Doses view: every person's dose of a chosen year, the last 12 months
// and five years against the limits, sortable by any column; from it a
// person's chart, the annual report (print preview, PDF) and the same table
// as a workbook or CSV.
class TFormDoses : public TReportWindow {
  Q_OBJECT
public:
  explicit TFormDoses(AppContext &ctx, QWidget *parent = nullptr);

  // Fills the view with the year of now and shows it modally; false, after
  // telling the operator why, when the doses cannot be worked out.
  bool ShowDoses();
  // Works out the doses of a year; false (the operator told) on failure.
  bool Fill(int year);

  // The chart of the person of the current row.
  void ShowChart();
  // The annual report of the year shown, in the print preview.
  void PrintReport();
  // The table as a workbook (.xlsx) or CSV (.csv, by the name's ending);
  // false, after telling the operator why, when it cannot be written.
  bool SaveTable(const QString &path);

  QLabel *L_Year;
  QSpinBox *SE_Year;
  QTableView *TV_Doses;
  QLabel *L_Investigation;
  QLabel *L_Limit;
  QPushButton *SB_Chart;
  QPushButton *SB_Report;
  QPushButton *SB_SaveTable;
  QPushButton *SB_Close;
  DoseListModel *Rows;
  QSortFilterProxyModel *Sorted;

private:
  void ApplyTexts();
  AnnualReportTable Table(ReportValues values) const;
};
