#include "main/EditProgramSettings.h"

#include <QCheckBox>
#include <QRadioButton>

#include "dose/DoseLimitsGroup.h"
#include "exchanges/ConnectionGroup.h"
#include "exchanges/FormSetting.h"
#include "state/AppState.h"

bool EditProgramSettings(TFormSetting &form, AppState &state) {
  form.ApplyTexts(state.Texts);
  if (form.exec() != QDialog::Accepted)
    return false;
  state.ProgSetting.RunSet = !form.CBShow->isChecked();
  state.ProgSetting.Roentgen = form.RB_ShowRh->isChecked();
  form.GBSetting->StoreSettings(state.ProgSetting);
  if (const std::optional<DoseLimits> limits = form.GB_Limits->TypedLimits())
    state.Limits = *limits;
  return true;
}
