#pragma once
#include <QString>
#include <QStringList>
#include <deque>

#include "RecordingMessages.h"
#include "common/OperatorMessages.h"

// Records every message and answers questions from a queue (default: yes).
class RecordingMessages : public OperatorMessages {
public:
  struct Shown {
    Kind kind;
    QString text;
    bool destructive = false; // a question with No as its default button
  };
  void error(QWidget *, const QString &text) override { shown.push_back({Error, text}); }
  void notice(QWidget *, const QString &text, bool = false) override {
    shown.push_back({Notice, text});
  }
  void warning(QWidget *, const QString &, const QString &text) override {
    shown.push_back({Warning, text});
  }
  bool question(QWidget *, const QString &text, bool = false) override {
    shown.push_back({Question, text});
    if (answers.empty())
      return true;
    bool a = answers.front();
    answers.pop_front();
    return a;
  }
  bool destructiveQuestion(QWidget *parent, const QString &text, bool okCancel = false) override {
    const bool answer = question(parent, text, okCancel);
    shown.back().destructive = true;
    return answer;
  }
  // Records the prompt and answers from `passwords` (a null text, or none
  // left: cancelled).
  std::optional<QString> password(QWidget *, const QString &, const QString &prompt) override {
    shown.push_back({Password, prompt});
    if (passwords.empty())
      return std::nullopt;
    const QString a = passwords.front();
    passwords.pop_front();
    if (a.isNull())
      return std::nullopt;
    return a;
  }
  QStringList texts() const {
    QStringList out;
    for (const auto &s : shown)
      out << s.text;
    return out;
  }

  std::deque<Shown> shown;
  std::deque<bool> answers;      // next answers to questions
  std::deque<QString> passwords; // next answers to password prompts
};
