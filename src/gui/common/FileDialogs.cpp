#include "common/FileDialogs.h"

#include <QFileDialog>

QString QtFileDialogs::openFile(QWidget *parent, const QString &title, const QString &folder,
                                const QString &filter) {
  return QFileDialog::getOpenFileName(parent, title, folder, filter);
}

QString QtFileDialogs::saveFile(QWidget *parent, const QString &title, const QString &folder,
                                const QString &filter, const QString &defaultSuffix) {
  QFileDialog dialog(parent, title, folder, filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return {};
  return dialog.selectedFiles().first();
}
