// The commands that work with an instrument in infrared range or with the
// register of who holds which instrument.
#include <QDialog>
#include <QRadioButton>

#include "common/AppContext.h"
#include "common/OperatorMessages.h"
#include "common/RegistrationMessages.h"
#include "db/TDM.h"
#include "dose/DoseTable.h"
#include "dose/ReadingDose.h"
#include "exchange/AttemptText.h"
#include "exchanges/FormParams.h"
#include "exchanges/FormRead.h"
#include "exchanges/FormReg.h"
#include "history/FormViewHist.h"
#include "main/MainForm.h"
#include "main/StringGrid.h"

bool TMainForm::RunInstrumentExchange(int mode) {
  TFormRead &exchange = *ctx_.FormRead;
  exchange.ApplyTexts(mode);
  exchange.Tag = mode;
  return exchange.exec() == QDialog::Accepted;
}

void TMainForm::SelectDeviceHolderRow(qint32 deviceId) {
  const StringGridModel &g = SG_User->cells();
  const QString number = QString::number(deviceId);
  for (int row = 0; row < g.RowCount(); ++row) {
    // The title row takes part in the search but cannot be selected.
    const QString cell = row == 0 ? g.title(3) : g.Cell(3, row);
    if (cell == number) {
      if (row > 0)
        SG_User->SelectRow(row);
      return;
    }
  }
}

void TMainForm::AReadHistoryExecute() {
  TFormRead &exchange = *ctx_.FormRead;
  if (!RunInstrumentExchange(TFormRead::ReadHistoryMode))
    return;
  // The exchange filed the reading before it cleared the instrument. An
  // activation time that could not be read ends it before any history came.
  const ExchangeResult &result = exchange.Result();
  if (result.outcome != ExchangeOutcome::Done)
    return;
  const REG_STATE reg = ctx_.state.RegState;
  if (result.holder.UserId >= 1) {
    if (HistoryShown())
      ASelectUserExecute();
    SelectDeviceHolderRow(reg.DeviceId);
  }
  // What the reading added to its holder's dose, and each level it took the
  // holder over (once: the same reading again adds nothing).
  QString doseLine;
  if (result.holder.UserId >= 1 && ctx_.DM) {
    const AppState &s = ctx_.state;
    const QString person = PersonName({result.holder.UserId,
                                       result.holder.SecondName,
                                       result.holder.FirstName,
                                       result.holder.MiddleName,
                                       -1,
                                       {}});
    if (const std::optional<ReadingDose> dose = ReadingDoseOf(
            ctx_.DM->History(), result.FiledDose, result.holder.UserId, s.clock->now(), s.Limits)) {
      doseLine = ReadingDoseText(*dose, person, s.Texts, s.ProgSetting.Roentgen);
      const QStringList warnings = LevelWarnings(*dose, person, s.Texts, s.ProgSetting.Roentgen);
      if (!warnings.isEmpty())
        ctx_.messages.warning(this, s.Texts.text(ProgramText::DoseWarningTitle),
                              warnings.join(u'\n'));
    }
  }
  // Under whom the reading went, or that nobody holds the instrument.
  const QString filed = FilingSummary(result, ctx_.state.Texts);
  doseLine = doseLine.isEmpty() ? filed : filed + u'\n' + doseLine;
  ctx_.FormViewHist->ShowHistory(result.History, reg, doseLine);
}

void TMainForm::ARegistrationExecute() {
  AppState &s = ctx_.state;
  const int row = SG_User->SelectedRow();
  if (SG_User->isHidden())
    return;
  const StringGridModel &g = SG_User->cells();
  if (!g.Cell(3, row).isEmpty())
    return;
  s.User.CurrentUserKey = SelectedUserKey();
  if (s.User.CurrentUserKey == -1)
    return;
  const std::optional<Person> person = RecheckSelectedPerson();
  if (!person)
    return;
  if (person->HoldsInstrument()) {
    // Given an instrument at another desk meanwhile: the list shows it now.
    FillUserList();
    return;
  }
  s.User.SecondName = g.Cell(0, row);
  s.User.FirstName = g.Cell(1, row);
  s.User.MiddleName = g.Cell(2, row);

  TFormReg &options = *ctx_.FormReg;
  options.ApplyTexts();
  if (options.exec() != QDialog::Accepted)
    return;
  REG_STATE &reg = s.RegState;
  reg.ClearAll = options.RB_ClearAll->isChecked();
  reg.UserId = s.User.CurrentUserKey;

  if (!RunInstrumentExchange(TFormRead::RegisterMode))
    return;
  if (TellRegistration(ctx_.DM->Register().RegisterDevice(reg), ctx_.messages, this, s.Texts))
    FillUserList();
}

void TMainForm::ACancelRegExecute() {
  AppState &s = ctx_.state;
  const int row = SG_User->SelectedRow();
  if (SG_User->isHidden())
    return;
  const QString cell = SG_User->cells().Cell(3, row);
  if (cell.isEmpty())
    return;
  s.User.CurrentUserKey = SelectedUserKey();
  if (s.User.CurrentUserKey == -1)
    return;
  bool ok = false;
  const int deviceId = cell.toInt(&ok);
  if (!ok)
    return;
  const std::optional<Person> person = RecheckSelectedPerson();
  if (!person)
    return;
  if (person->DeviceId != deviceId) {
    // The registration changed at another desk meanwhile: the list shows it now.
    FillUserList();
    return;
  }
  if (!ctx_.messages.question(this, s.Texts.at(64)))
    return;
  if (ctx_.DM->Register().CancelRegistration(deviceId, s.User.CurrentUserKey))
    FillUserList();
}

void TMainForm::ClearInstrument(int mode, int questionEntry) {
  if (!ctx_.messages.destructiveQuestion(this, ctx_.state.Texts.at(questionEntry))) {
    ctx_.FormRead->Tag = 0;
    return;
  }
  RunInstrumentExchange(mode);
}

void TMainForm::AClearHistoryExecute() {
  ClearInstrument(TFormRead::ClearHistoryMode, 81);
}

void TMainForm::AClearDEExecute() {
  ClearInstrument(TFormRead::ClearDoseMode, 84);
}

void TMainForm::ADeviceExecute() {
  TFormParams &params = *ctx_.FormParams;
  params.ApplyTexts();
  params.exec();
}

void TMainForm::StatusBar1DblClick() {
  ctx_.state.KeepHistoryAfterRead =
      !ctx_.messages.destructiveQuestion(this, QStringLiteral("Remove history after reading?"));
}
