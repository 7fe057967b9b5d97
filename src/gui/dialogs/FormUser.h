#pragma once
#include <QDialog>

struct AppContext;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

// The user editor: adds a person or edits the names of one.
//
// Save checks that the second and first names are filled, refuses a second
// person with the same three names and writes the row (OK); Cancel, Esc and
// the close box answer Cancel. In edit mode a save without any change closes
// with OK without touching the database.
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

  // After an OK close the caller reads the names from the edits, trimmed
  // with TrimName as the editor stored them.
  QLineEdit *EdSecondName = nullptr;
  QLineEdit *EdFirstName = nullptr;
  QLineEdit *EdMiddleName = nullptr;

  // A name without the leading and trailing characters of codes 0 to 32.
  static QString TrimName(const QString &text);

  QLabel *LSecondName = nullptr;
  QLabel *LFirstName = nullptr;
  QLabel *LMiddleName = nullptr;
  QLabel *LSecNameStar = nullptr;
  QLabel *LFirstNameStar = nullptr;
  QLabel *LStar = nullptr;
  QLabel *LNote = nullptr;
  QPushButton *SB_Save = nullptr;
  QPushButton *SB_Cancel = nullptr;

  void FormShow();
  void SB_SaveClick();
  void SB_CancelClick();

protected:
  void showEvent(QShowEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  enum class Duplicate { No, Yes };
  // Whether another row holds these three names; the edited user's own row
  // (userKey, -1 when adding) never counts against it.
  Duplicate CheckDuplicate(const QString &second, const QString &first, const QString &middle,
                           int userKey);
  bool UpdateUser(const QString &second, const QString &first, const QString &middle);
  void ShowError(int entry);

  AppContext &ctx_;
  QFrame *Bevel1 = nullptr; // the navy frame around the controls
};
