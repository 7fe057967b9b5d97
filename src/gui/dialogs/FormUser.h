#pragma once
#include <QDialog>

struct AppContext;
class QLineEdit;

// The user editor: adds a person or edits the names of one.
class TFormUser : public QDialog {
  Q_OBJECT
public:
  explicit TFormUser(AppContext &ctx, QWidget *parent = nullptr);

  // Set by the caller before showing the window.
  int Mode = 0; // 0 add a new user, 1 edit an existing one (the window's tag)
  QString StoredSecondName;
  QString StoredFirstName;
  QString StoredMiddleName;
  int EditedUserKey = -1;

  // Applies the texts of the language in use; the mode chooses the caption.
  void ApplyTexts(int mode);

  // After an OK close the caller reads the names from the edits.
  QLineEdit *EdSecondName = nullptr;
  QLineEdit *EdFirstName = nullptr;
  QLineEdit *EdMiddleName = nullptr;

private:
  AppContext &ctx_;
};
