#pragma once
#include "db/Person.h"
#include <QDialog>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "state/RegState.h"

struct AppContext;
class QAction;
class QComboBox;
class QLabel;
class QPrinter;
class QStatusBar;
class QTextDocument;
class QTextEdit;
class QToolBar;
class QToolButton;

// The read-history window: the history just read from an instrument as rich
// text (a bold header with the instrument, its holder and its activation
// time, then one line per event). The operator can save the text as an RTF
// file, load an earlier file, print it, and, when nobody holds the
// instrument, register it to a person without an instrument (or to a new
// person added through the user editor).
class TFormViewHist : public QDialog {
  Q_OBJECT
public:
  explicit TFormViewHist(AppContext &ctx, QWidget *parent = nullptr);
  ~TFormViewHist() override;

  // What the read command calls after a successful history exchange: fills
  // the window with the raw history just read and the exchange's record
  // (mode 0 when the record's user key is below 1, 1 otherwise), applies the
  // texts, and shows the window modally. Returns the modal result.
  // doseLine, when not empty, is shown above the text: what the reading
  // added to its holder's dose.
  int ShowHistory(std::span<const std::uint8_t> history, const REG_STATE &reg,
                  const QString &doseLine = {});

  // Replaces the text with the header for `reg` and one line per event of the
  // raw history.
  void FillHistory(const std::uint8_t *data, int length, const REG_STATE &reg);

  // Copies the texts of the current language into the window.
  void ApplyTexts();

  // 0: the instrument has no holder (registration offered); 1: it has one.
  int Tag = 0;

  // The text of a person in Cmb_User: "Second F.M." ("Second F." without a
  // middle name, "Second M." or "Second" for a row without a first name).
  static QString UserItemText(const QString &second, const QString &first, const QString &middle);

  // Runs the printer setup before printing; false when the operator cancels.
  // Tests replace it to print into a PDF file.
  std::function<bool(QPrinter &)> PrinterSetup;

  QToolBar *ToolBarView = nullptr;
  QAction *tlbSave = nullptr;
  QAction *tlbLoad = nullptr;
  QAction *tlbPrint = nullptr;
  QAction *tlbClose = nullptr;
  QAction *tlbReg = nullptr;
  QAction *tlbNewUser = nullptr;
  QAction *ToolButton4 = nullptr;  // separator between the list and New user
  QAction *Cmb_UserItem = nullptr; // Cmb_User's place on the tool bar
  QComboBox *Cmb_User = nullptr;
  QTextEdit *RE_History = nullptr;
  QLabel *L_ReadingDose = nullptr; // the reading's dose; hidden for a loaded file
  QStatusBar *StatusBar1 = nullptr;
  QLabel *StatusPanel = nullptr; // the first panel: long hints

  // Event handlers.
  void FormShow();
  void tlbSaveClick();
  void tlbLoadClick();
  void tlbPrintClick();
  void tlbRegClick();
  void tlbNewUserClick();
  void tlbCloseClick();

  // Fills Cmb_User with the people who hold no instrument and selects the
  // preferred one (or keeps the selection when it is still in range).
  void FillUserCombo(const QString &second = {}, const QString &first = {},
                     const QString &middle = {});
  // The key of the person chosen in Cmb_User: -2 when nothing is chosen,
  // -1 when the user list cannot be read or the person is not in it.
  int SelectedUserKey();

signals:
  // A person was added or an instrument registered here: lists of people
  // shown elsewhere are out of date.
  void peopleChanged();

protected:
  void showEvent(QShowEvent *event) override;
  bool event(QEvent *event) override;

private:
  // The people the person list offers, in its order.
  QList<Person> freePeople_;
  // A remembered dialog folder: the History folder of the program's folder
  // on first use (created when missing), then the folder last chosen.
  struct DialogFolder {
    bool firstUse = true;
    QString folder;
  };
  QString FolderFor(DialogFolder &dialog);
  void ShowUserCombo();
  QString Text(int entry) const;

  AppContext &ctx_;
  DialogFolder sdRtf_, odRtf_;
  QString sdTitle_, odTitle_;
  std::unique_ptr<QPrinter> printer_;
};

// A copy of `source` with `blanks` blanks in front of every line.
std::unique_ptr<QTextDocument> IndentedCopy(const QTextDocument &source, int blanks);
