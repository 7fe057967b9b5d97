#include "dialogs/FormPrintUser.h"

#include "common/AppContext.h"
#include "db/TDM.h"

TFormPrintUser::TFormPrintUser(AppContext &ctx, QWidget *parent)
    : TReportWindow(ctx, QStringLiteral("FormPrintUser"), parent) {
  report_.Title = {"TitleBand1", 10.6, {{"QRL_UserList", 0, -1, 12, true, true}}, {}};
  report_.ColumnTitles = {"QRBand1",
                          10.6,
                          {{"QRL_SecondName", 1.1, -1, 10, true},
                           {"QRL_FirstName", 66.9, -1, 10, true},
                           {"QRL_MiddleName", 120.7, -1, 10, true},
                           {"QRL_DevId", 165.1, -1, 10, true}},
                          {}};
  report_.ColumnTitlesOnEveryPage = true;
  report_.Detail.name = "QRSubDetailUser";
  report_.Detail.height = 9.3;
  report_.Detail.fields = {{"QT_SecondName", 1.1},
                           {"QT_FirstName", 66.9},
                           {"QT_MiddleName", 120.9},
                           {"QT_DevId", 165.1}};
}

void TFormPrintUser::ApplyTexts() {
  const TextTable &t = ctx_.state.Texts;
  *report_.Title.Value("QRL_UserList") = t.at(144);
  caption_ = t.at(145);
  *report_.ColumnTitles.Value("QRL_SecondName") = t.at(146);
  *report_.ColumnTitles.Value("QRL_FirstName") = t.at(147);
  *report_.ColumnTitles.Value("QRL_MiddleName") = t.at(148);
  *report_.ColumnTitles.Value("QRL_DevId") = t.at(149);
}

bool TFormPrintUser::ShowReport() {
  std::optional<QList<Person>> people =
      ctx_.DM ? ctx_.DM->Register().People() : std::optional<QList<Person>>();
  if (!people)
    return false;
  people_ = std::move(*people);
  report_.Detail.rows = int(people_.size());
  report_.Detail.text = [this](int row, int field) { return FieldText(row, field); };
  ApplyTexts();
  Present(caption_, QStringLiteral("QRPrintUser"));
  return true;
}

QString TFormPrintUser::FieldText(int row, int field) const {
  const Person &p = people_.at(row);
  switch (field) {
  case 0:
    return p.SecondName;
  case 1:
    return p.FirstName;
  case 2:
    return p.MiddleName;
  default:
    return QT_DevIdPrint(p);
  }
}

QString TFormPrintUser::QT_DevIdPrint(const Person &person) {
  const std::optional<qint32> device = person.StoredDeviceId;
  return device && *device >= 0 ? QString::number(*device) : QString();
}
