#pragma once
#include <QGroupBox>
#include <optional>

#include "dose/DoseLimits.h"

class QLabel;
class QLineEdit;
class TextTable;

// The dose limits of the settings window: three levels in Sv, typed with a
// point or the locale's decimal separator. A value that is no dose above 0
// is refused, named in the group's own problem line, and its field takes
// the focus.
class TDoseLimitsGroup : public QGroupBox {
  Q_OBJECT
public:
  explicit TDoseLimitsGroup(QWidget *parent = nullptr);

  void ApplyTexts(const TextTable &texts);
  void ShowLimits(const DoseLimits &limits);
  // The limits typed; nullopt, with the problem shown, when one is refused.
  std::optional<DoseLimits> TypedLimits();

  QLabel *L_InvestigationLevel;
  QLineEdit *ED_InvestigationLevel;
  QLabel *L_AnnualLimit;
  QLineEdit *ED_AnnualLimit;
  QLabel *L_FiveYearLimit;
  QLineEdit *ED_FiveYearLimit;
  QLabel *L_LimitsProblem;

private:
  QString invalid_; // LimitInvalid in the language in use
};
