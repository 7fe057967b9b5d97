#pragma once
#include <QDialog>

#include "db/Person.h"

struct AppContext;
class QChartView;
class QDateEdit;
class QLabel;
class QPushButton;

// A person's dose over a chosen period as a chart, which can be saved as a
// picture (PNG) or a page (PDF).
class TFormDoseChart : public QDialog {
  Q_OBJECT
public:
  explicit TFormDoseChart(AppContext &ctx, QWidget *parent = nullptr);

  // Shows the person's chart of the calendar year, modally. False, after
  // telling the operator why, when the history cannot be read.
  bool ShowChart(const Person &person, int year);
  // Draws the chart of the period the dates choose; false when the history
  // cannot be read (the operator is told).
  bool Redraw();

  // Write the chart as it is shown; false, after telling the operator why,
  // when the file cannot be written.
  bool SavePng(const QString &path);
  bool SavePdf(const QString &path);

  QLabel *L_From;
  QDateEdit *DE_From;
  QLabel *L_To;
  QDateEdit *DE_To;
  QChartView *CV_Dose;
  QPushButton *SB_SavePng;
  QPushButton *SB_SavePdf;
  QPushButton *SB_Close;

private:
  void ApplyTexts();
  void Saved(bool ok, const QString &path, const QString &error);
  AppContext &ctx_;
  Person person_;
};
