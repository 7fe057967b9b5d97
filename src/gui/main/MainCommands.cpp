// The commands of the main window on people, histories, filter, reports,
// settings and language.
#include "common/AppContext.h"
#include "common/OperatorMessages.h"
#include "db/TDM.h"
#include "dialogs/FormDeleteHistory.h"
#include "dialogs/FormFilter.h"
#include "dialogs/FormPrintHistory.h"
#include "dialogs/FormPrintUser.h"
#include "dialogs/FormUser.h"
#include "main/EditProgramSettings.h"
#include "main/HistoryList.h"
#include "main/MainForm.h"
#include "main/StringGrid.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QToolButton>

namespace {

// The first character of a name (a whole character, also beyond the basic
// plane).
QString FirstCharacter(const QString &name) {
  if (name.size() >= 2 && name[0].isHighSurrogate() && name[1].isLowSurrogate())
    return name.left(2);
  return name.left(1);
}

// "Abcd E.I.": the second name and the initials of the others.
QString ShortUserName(const CurrentUser &u) {
  QString text;
  if (!u.SecondName.isEmpty())
    text += u.SecondName + u' ';
  if (!u.FirstName.isEmpty())
    text += FirstCharacter(u.FirstName) + u'.';
  if (!u.MiddleName.isEmpty())
    text += FirstCharacter(u.MiddleName) + u'.';
  return text;
}

QString FullUserName(const CurrentUser &u) {
  return u.SecondName + u' ' + u.FirstName + u' ' + u.MiddleName;
}

} // namespace

void TMainForm::ASelectUserExecute() {
  if (HistoryShown())
    SG_History->hide();
  LayoutUserList(true);
  FillUserList();
  SetUserListView();
  HideToolButton("tlb_DeleteAll");
  SetSelectAllHint(88);
  StatusPanel[1]->clear();
}

void TMainForm::AViewHistoryExecute() {
  const int row = SG_User->SelectedRow();
  AppState &s = ctx_.state;
  s.User.CurrentUserKey = SelectedUserKey();
  if (s.User.CurrentUserKey == -1)
    return;
  if (!LoadHistory())
    return;
  const StringGridModel &g = SG_User->cells();
  s.User.SecondName = g.Cell(0, row);
  s.User.FirstName = g.Cell(1, row);
  s.User.MiddleName = g.Cell(2, row);

  SG_User->hide();
  FillHistoryList();
  LayoutHistoryList(true);
  StatusPanel[1]->setText(ShortUserName(s.User));
  PanelName->setText(FullUserName(s.User));
  SetSelectAllHint(89);
  SetHistoryView();
  HideToolButton("tlb_DeleteHistory");
}

QString TMainForm::UserEditorIcon(const char *fileName) const {
  const QString path = QDir(ctx_.state.Paths.ProgramFolder).filePath(QString::fromLatin1(fileName));
  return QFileInfo::exists(path) ? path : QString();
}

void TMainForm::AddUserExecute() {
  if (SG_User->isHidden())
    return;
  TFormUser &editor = *ctx_.FormUser;
  editor.Mode = 0;
  if (const QString icon = UserEditorIcon("AddUser.ico"); !icon.isEmpty())
    editor.setWindowIcon(QIcon(icon));
  if (editor.exec() == QDialog::Accepted)
    FillUserList();
}

void TMainForm::AEditUserExecute() {
  if (SG_User->isHidden())
    return;
  TFormUser &editor = *ctx_.FormUser;
  editor.Mode = 1;
  if (const QString icon = UserEditorIcon("EditUser.ico"); !icon.isEmpty())
    editor.setWindowIcon(QIcon(icon));
  if (SelectedUserKey() < 1)
    return;
  const std::optional<Person> person = RecheckSelectedPerson();
  if (!person)
    return;
  editor.EditedUserKey = person->UserId;
  editor.StoredSecondName = person->SecondName;
  editor.StoredFirstName = person->FirstName;
  editor.StoredMiddleName = person->MiddleName;
  if (editor.exec() == QDialog::Accepted)
    FillUserList();
}

void TMainForm::ADeleteUserExecute() {
  const int row = SG_User->SelectedRow();
  AppState &s = ctx_.state;
  s.User.CurrentUserKey = SelectedUserKey();
  if (s.User.CurrentUserKey == -1 || SG_User->isHidden())
    return;
  const TextTable &t = s.Texts;
  const std::optional<Person> person = RecheckSelectedPerson();
  if (!person)
    return;
  if (person->HoldsInstrument() || !SG_User->cells().Cell(3, row).isEmpty()) {
    ctx_.messages.notice(this, t.at(75) + u'\n' + t.at(76));
    if (person->HoldsInstrument())
      FillUserList();
    return;
  }
  if (!ctx_.messages.destructiveQuestion(this, t.at(52)))
    return;
  if (!ctx_.DM->Register().DeleteUserWithHistory(person->UserId)) {
    // Refused when she was given an instrument meanwhile: the list shows it.
    FillUserList();
    return;
  }
  FillUserList();
  const StringGridModel &g = SG_User->cells();
  if (row > g.RowCount() - 1) {
    // The refill has shrunk the grid below the deleted person's row: the
    // person above becomes the current one.
    const int above = std::min(row - 1, g.RowCount() - 1);
    SG_User->SelectRow(above);
    s.User.CurrentUserKey = SelectedUserKey();
    s.User.SecondName = g.Cell(0, above);
    s.User.FirstName = g.Cell(1, above);
    s.User.MiddleName = g.Cell(2, above);
  } else {
    s.User.CurrentUserKey = -1;
    s.User.SecondName.clear();
    s.User.FirstName.clear();
    s.User.MiddleName.clear();
  }
}

bool TMainForm::ReloadHistory() {
  LayoutHistoryList(true);
  if (!LoadHistory())
    return false;
  FillHistoryList();
  SG_History->viewport()->update();
  LayoutHistoryList(true);
  return true;
}

void TMainForm::ADeleteHistoryExecute() {
  TFormDeleteHistory &form = *ctx_.FormDeleteHistory;
  const CurrentUser &u = ctx_.state.User;
  form.UserKey = u.CurrentUserKey;
  if (form.L_SecFirstName)
    form.L_SecFirstName->setText(u.SecondName + u' ' + u.FirstName);
  if (form.LMiddleName)
    form.LMiddleName->setText(u.MiddleName);
  if (form.exec() != QDialog::Accepted)
    return;
  ReloadHistory();
}

void TMainForm::ARestoreHistoryExecute() {
  if (!HistoryShown() || ctx_.state.User.CurrentUserKey < 1)
    return;
  const TextTable &t = ctx_.state.Texts;
  const int userId = ctx_.state.User.CurrentUserKey;
  const QString name = FullUserName(ctx_.state.User).simplified();
  HistoryStore &history = ctx_.DM->History();
  const std::optional<qint64> deleted = history.CountDeletedHistory(userId);
  if (!deleted) {
    ctx_.messages.error(this, t.text(ProgramText::HistoryNotRestored));
    return;
  }
  if (*deleted == 0) {
    ctx_.messages.notice(this, t.text(ProgramText::NothingToRestore).arg(name));
    return;
  }
  if (!ctx_.messages.question(this,
                              t.text(ProgramText::RestoreHistoryQuestion).arg(*deleted).arg(name)))
    return;
  if (history.RestoreDeletedHistory(userId) < 0)
    ctx_.messages.error(this, t.text(ProgramText::HistoryNotRestored));
  ReloadHistory();
}

void TMainForm::SetFilterPanel() {
  StatusPanel[2]->setText(ctx_.state.Filter.IsEmpty() ? QString() : ctx_.state.Texts.at(55));
}

void TMainForm::AFilterHistoryExecute() {
  TFormFilter &form = *ctx_.FormFilter;
  if (form.exec() != QDialog::Accepted)
    return;
  ctx_.state.Filter = form.Criteria;
  if (HistoryShown()) {
    if (!ReloadHistory())
      return;
    SG_History->SelectRow(1);
  } else {
    AViewHistoryExecute();
  }
  SetFilterPanel();
}

void TMainForm::ACancelFilterExecute() {
  TFormFilter &form = *ctx_.FormFilter;
  // Ticking the hidden switch clears the window's criteria.
  if (form.CB_CancelFilter && !form.CB_CancelFilter->isChecked())
    form.CB_CancelFilter->click();
  form.Criteria = {};
  ctx_.state.Filter = {};
  if (HistoryShown() && !ReloadHistory())
    return;
  StatusPanel[2]->clear();
}

void TMainForm::APrintUserExecute() {
  ctx_.FormPrintUser->ShowReport();
}

void TMainForm::APrintHistoryExecute() {
  if (!HistoryShown())
    return;
  ctx_.FormPrintHistory->ShowReport(FullUserName(ctx_.state.User), historyRows_);
}

void TMainForm::AProgramSettingExecute() {
  const bool roentgen = ctx_.state.ProgSetting.Roentgen;
  if (!EditProgramSettings(*ctx_.FormSetting, ctx_.state))
    return;
  if (!HistoryShown() || roentgen == ctx_.state.ProgSetting.Roentgen)
    return;
  const int top = SG_History->TopRow();
  const auto [first, last] = SG_History->SelectedRange();
  if (!ReloadHistory())
    return;
  if (first > 0)
    SG_History->SelectRows(first, last);
  SG_History->SetTopRow(top);
}

void TMainForm::ChangeLanguage(const QString &fileName) {
  AppState &s = ctx_.state;
  const QString path = QDir(s.Paths.ProgramFolder).filePath(fileName);
  if (!QFileInfo::exists(path))
    return;
  s.Paths.LangFile = fileName;
  s.Texts.loadLanguageFile(path);
  s.ToolkitTexts.Follow(s.Texts.language());
  ApplyTexts();
  // Event names follow the new language.
  if (HistoryShown())
    ReloadHistory();
}

void TMainForm::EnglLangClick() {
  ChangeLanguage("LangE.txt");
}
void TMainForm::RussianLangClick() {
  ChangeLanguage("LangR.txt");
}
void TMainForm::SpanishLangClick() {
  ChangeLanguage("LangES.txt");
}
