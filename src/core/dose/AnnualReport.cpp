#include "dose/AnnualReport.h"

#include "history/DoseFormat.h"
#include "lang/TextTable.h"

QString SievertNumber(double dose) {
  return QString::number(dose, 'e', 9);
}

AnnualReportTable AnnualReportOf(const QList<PersonDose> &doses, const DoseLimits &limits,
                                 const TextTable &texts, bool roentgen, ReportValues values) {
  const bool file = values == ReportValues::Sievert;
  const QString unit = file ? QStringLiteral(", Sv") : QString();
  AnnualReportTable t;
  t.titles = {texts.text(ProgramText::DosesPerson),
              texts.text(ProgramText::ReportYearDose) + unit,
              texts.text(ProgramText::ReportYearShare),
              texts.text(ProgramText::ReportFiveYearDose) + unit,
              texts.text(ProgramText::ReportFiveYearShare),
              texts.text(ProgramText::ReportMark)};
  auto dose = [&](double sv) {
    return file ? SievertNumber(sv) : FormatDose(sv, roentgen, false, texts);
  };
  auto share = [](double sv, double limit) {
    return limit > 0 ? QString::number(100 * sv / limit, 'f', 1) : QString();
  };
  for (const PersonDose &d : doses) {
    const QString mark = d.mark == DoseMark::OverLimit ? texts.text(ProgramText::ReportOverLimit)
                         : d.mark == DoseMark::OverInvestigationLevel
                             ? texts.text(ProgramText::ReportOverInvestigation)
                             : QString();
    t.rows.append({PersonName(d.person), dose(d.Year), share(d.Year, limits.AnnualLimit),
                   dose(d.FiveYears), share(d.FiveYears, limits.FiveYearLimit), mark});
  }
  return t;
}
