#include "common/OperatorMessages.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace {
QString boxTitle() {
  return QApplication::applicationDisplayName();
}
} // namespace

void MessageBoxMessages::error(QWidget *parent, const QString &text) {
  QMessageBox::critical(parent, boxTitle(), text, QMessageBox::Cancel);
}

void MessageBoxMessages::notice(QWidget *parent, const QString &text, bool cancelButton) {
  QMessageBox::information(parent, boxTitle(), text,
                           cancelButton ? QMessageBox::Cancel : QMessageBox::Ok);
}

void MessageBoxMessages::warning(QWidget *parent, const QString &title, const QString &text) {
  QMessageBox::warning(parent, title, text, QMessageBox::Ok);
}

bool MessageBoxMessages::question(QWidget *parent, const QString &text, bool okCancel) {
  if (okCancel)
    return QMessageBox::question(parent, boxTitle(), text, QMessageBox::Ok | QMessageBox::Cancel) ==
           QMessageBox::Ok;
  return QMessageBox::question(parent, boxTitle(), text, QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

bool MessageBoxMessages::destructiveQuestion(QWidget *parent, const QString &text, bool okCancel) {
  const QMessageBox::StandardButton yes = okCancel ? QMessageBox::Ok : QMessageBox::Yes;
  const QMessageBox::StandardButton no = okCancel ? QMessageBox::Cancel : QMessageBox::No;
  QMessageBox box(QMessageBox::Question, boxTitle(), text, yes | no, parent);
  box.setObjectName(QStringLiteral("DestructiveQuestion"));
  box.setDefaultButton(no);
  box.setEscapeButton(no);
  return box.exec() == yes;
}

std::optional<QString> MessageBoxMessages::password(QWidget *parent, const QString &title,
                                                    const QString &prompt) {
  bool ok = false;
  const QString text =
      QInputDialog::getText(parent, title, prompt, QLineEdit::Password, QString(), &ok);
  if (!ok)
    return std::nullopt;
  return text;
}
