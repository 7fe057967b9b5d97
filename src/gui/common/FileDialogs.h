#pragma once
#include <QString>

class QWidget;

// Open and save dialogs. An empty result means the operator cancelled.
class FileDialogs {
public:
  virtual ~FileDialogs() = default;
  virtual QString openFile(QWidget *parent, const QString &title, const QString &folder,
                           const QString &filter) = 0;
  virtual QString saveFile(QWidget *parent, const QString &title, const QString &folder,
                           const QString &filter, const QString &defaultSuffix) = 0;
};

class QtFileDialogs : public FileDialogs {
public:
  QString openFile(QWidget *parent, const QString &title, const QString &folder,
                   const QString &filter) override;
  QString saveFile(QWidget *parent, const QString &title, const QString &folder,
                   const QString &filter, const QString &defaultSuffix) override;
};
