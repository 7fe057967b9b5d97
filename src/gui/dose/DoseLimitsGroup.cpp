#include "dose/DoseLimitsGroup.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>

#include "lang/TextTable.h"

TDoseLimitsGroup::TDoseLimitsGroup(QWidget *parent) : QGroupBox(parent) {
  setObjectName(QStringLiteral("GB_Limits"));
  auto named = [this](auto *w, const char *name) {
    w->setParent(this);
    w->setObjectName(QString::fromLatin1(name));
    return w;
  };
  L_InvestigationLevel = named(new QLabel, "L_InvestigationLevel");
  ED_InvestigationLevel = named(new QLineEdit, "ED_InvestigationLevel");
  L_AnnualLimit = named(new QLabel, "L_AnnualLimit");
  ED_AnnualLimit = named(new QLineEdit, "ED_AnnualLimit");
  L_FiveYearLimit = named(new QLabel, "L_FiveYearLimit");
  ED_FiveYearLimit = named(new QLineEdit, "ED_FiveYearLimit");
  L_LimitsProblem = named(new QLabel, "L_LimitsProblem");
  L_LimitsProblem->setStyleSheet(QStringLiteral("color: #b00000"));
  L_LimitsProblem->setWordWrap(true);
  L_LimitsProblem->hide();
  auto *form = new QFormLayout(this);
  for (auto [label, edit] :
       {std::pair{L_InvestigationLevel, ED_InvestigationLevel},
        std::pair{L_AnnualLimit, ED_AnnualLimit}, std::pair{L_FiveYearLimit, ED_FiveYearLimit}}) {
    edit->setMaximumWidth(110);
    label->setBuddy(edit);
    form->addRow(label, edit);
  }
  form->addRow(L_LimitsProblem);
}

void TDoseLimitsGroup::ApplyTexts(const TextTable &texts) {
  setTitle(texts.text(ProgramText::LimitsGroup));
  L_InvestigationLevel->setText(texts.text(ProgramText::InvestigationLevel));
  L_AnnualLimit->setText(texts.text(ProgramText::AnnualLimit));
  L_FiveYearLimit->setText(texts.text(ProgramText::FiveYearLimit));
  invalid_ = texts.text(ProgramText::LimitInvalid);
}

void TDoseLimitsGroup::ShowLimits(const DoseLimits &limits) {
  auto text = [](double v) { return QLocale().toString(v, 'g', 12); };
  ED_InvestigationLevel->setText(text(limits.InvestigationLevel));
  ED_AnnualLimit->setText(text(limits.AnnualLimit));
  ED_FiveYearLimit->setText(text(limits.FiveYearLimit));
  L_LimitsProblem->hide();
}

std::optional<DoseLimits> TDoseLimitsGroup::TypedLimits() {
  DoseLimits limits;
  for (auto [label, edit, value] :
       {std::tuple{L_InvestigationLevel, ED_InvestigationLevel, &limits.InvestigationLevel},
        std::tuple{L_AnnualLimit, ED_AnnualLimit, &limits.AnnualLimit},
        std::tuple{L_FiveYearLimit, ED_FiveYearLimit, &limits.FiveYearLimit}}) {
    const std::optional<double> v = TypedDose(edit->text());
    if (!v) {
      L_LimitsProblem->setText(invalid_.arg(label->text()));
      L_LimitsProblem->show();
      edit->setFocus();
      edit->selectAll();
      return std::nullopt;
    }
    *value = *v;
  }
  L_LimitsProblem->hide();
  return limits;
}
