// The Doses view and a person's dose chart, from the History menu.
#include "common/AppContext.h"
#include "dose/FormDoseChart.h"
#include "dose/FormDoses.h"
#include "main/MainForm.h"
#include "main/StringGrid.h"

void TMainForm::ADosesExecute() {
  ctx_.FormDoses->ShowDoses();
}

void TMainForm::ADoseChartExecute() {
  // The person whose history is shown, else the one selected in the list.
  const AppState &s = ctx_.state;
  Person person;
  if (HistoryShown()) {
    person.UserId = s.User.CurrentUserKey;
    person.SecondName = s.User.SecondName;
    person.FirstName = s.User.FirstName;
    person.MiddleName = s.User.MiddleName;
  } else {
    if (SelectedUserKey() < 1)
      return;
    const std::optional<Person> selected = RecheckSelectedPerson();
    if (!selected)
      return;
    person = *selected;
  }
  if (person.UserId < 1)
    return;
  ctx_.FormDoseChart->ShowChart(person, s.clock->now().date().year());
}
