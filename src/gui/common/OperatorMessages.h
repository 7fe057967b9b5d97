#pragma once
#include <QString>
#include <optional>

class QWidget;

// What the operator is told or asked. Every message of the program goes
// through one of these calls.
class OperatorMessages {
public:
  enum Kind { Error, Notice, Question, Password, Warning };
  // The button a question is answered with; a notice or error returns its one button.
  enum Answer { Yes, No, Ok, Cancel };

  virtual ~OperatorMessages() = default;
  // Error icon, one button Cancel.
  virtual void error(QWidget *parent, const QString &text) = 0;
  // Information icon, one button OK (Cancel where the window asks for it).
  virtual void notice(QWidget *parent, const QString &text, bool cancelButton = false) = 0;
  // Warning icon under its own title, one button OK.
  virtual void warning(QWidget *parent, const QString &title, const QString &text) = 0;
  // Confirmation icon with Yes and No (or OK and Cancel); true on the affirmative answer.
  virtual bool question(QWidget *parent, const QString &text, bool okCancel = false) = 0;
  // The same for a question whose affirmative answer destroys something: No
  // (Cancel) is the default button, so Enter does not destroy.
  virtual bool destructiveQuestion(QWidget *parent, const QString &text, bool okCancel = false) = 0;
  // Asks for a password, typed without showing it; nullopt when cancelled.
  virtual std::optional<QString> password(QWidget *parent, const QString &title,
                                          const QString &prompt) = 0;
};

// Message boxes on the screen.
class MessageBoxMessages : public OperatorMessages {
public:
  void error(QWidget *parent, const QString &text) override;
  void notice(QWidget *parent, const QString &text, bool cancelButton = false) override;
  void warning(QWidget *parent, const QString &title, const QString &text) override;
  bool question(QWidget *parent, const QString &text, bool okCancel = false) override;
  bool destructiveQuestion(QWidget *parent, const QString &text, bool okCancel = false) override;
  std::optional<QString> password(QWidget *parent, const QString &title,
                                  const QString &prompt) override;
};
