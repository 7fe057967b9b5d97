#include "dialogs/FormPrintUser.h"

#include "common/AppContext.h"
#include "db/TDM.h"

namespace {

// Detail fields in the order of the query columns they print.
const char *const kUserFields[] = {"UserSecondName", "UserFirstName", "UserMiddleName", "DeviceId"};
constexpr int kDeviceField = 3;

} // namespace

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
  TDM *dm = ctx_.DM;
  if (!dm || (!dm->ADOQueryUser.Active() && !dm->OpenUsers()))
    return false;
  const RecordSet &users = dm->ADOQueryUser;
  for (int f = 0; f < 4; ++f)
    columns_[f] = users.FieldIndex(QLatin1String(kUserFields[f]));
  report_.Detail.rows = users.RowCount();
  report_.Detail.text = [this, &users](int row, int field) { return FieldText(users, row, field); };
  ApplyTexts();
  Present(caption_, QStringLiteral("QRPrintUser"));
  return true;
}

QString TFormPrintUser::FieldText(const RecordSet &users, int row, int field) const {
  QString value = users.Value(row, columns_[field]).toString();
  if (field == kDeviceField)
    QT_DevIdPrint(value);
  return value;
}

void TFormPrintUser::QT_DevIdPrint(QString &value) {
  bool ok = false;
  int number = value.toInt(&ok);
  if (!ok)
    number = -1;
  if (number < 0)
    value.clear();
}
