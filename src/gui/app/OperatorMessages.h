#pragma once
#include <QString>
#include <QStringList>
#include <deque>

class QWidget;

// What the operator is told or asked. Every message of the program goes
// through one of these three calls.
class OperatorMessages {
public:
  enum Kind { Error, Notice, Question };
  // The button a question is answered with; a notice or error returns its one button.
  enum Answer { Yes, No, Ok, Cancel };

  virtual ~OperatorMessages() = default;
  // Error icon, one button Cancel.
  virtual void error(QWidget *parent, const QString &text) = 0;
  // Information icon, one button OK (Cancel where the window asks for it).
  virtual void notice(QWidget *parent, const QString &text, bool cancelButton = false) = 0;
  // Confirmation icon with Yes and No (or OK and Cancel); true on the affirmative answer.
  virtual bool question(QWidget *parent, const QString &text, bool okCancel = false) = 0;
};

// Message boxes on the screen.
class MessageBoxMessages : public OperatorMessages {
public:
  void error(QWidget *parent, const QString &text) override;
  void notice(QWidget *parent, const QString &text, bool cancelButton = false) override;
  bool question(QWidget *parent, const QString &text, bool okCancel = false) override;
};

// Records every message and answers questions from a queue (default: yes).
class RecordingMessages : public OperatorMessages {
public:
  struct Shown {
    Kind kind;
    QString text;
  };
  void error(QWidget *, const QString &text) override { shown.push_back({Error, text}); }
  void notice(QWidget *, const QString &text, bool = false) override {
    shown.push_back({Notice, text});
  }
  bool question(QWidget *, const QString &text, bool = false) override {
    shown.push_back({Question, text});
    if (answers.empty())
      return true;
    bool a = answers.front();
    answers.pop_front();
    return a;
  }
  QStringList texts() const {
    QStringList out;
    for (const auto &s : shown)
      out << s.text;
    return out;
  }

  std::deque<Shown> shown;
  std::deque<bool> answers; // next answers to questions
};
