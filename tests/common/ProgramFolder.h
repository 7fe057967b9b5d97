#pragma once
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// A throw-away program folder: a copy of the supplied database in DB/ and,
// when asked, the three language files, as the build lays them out.
class ProgramFolder {
public:
  explicit ProgramFolder(bool withLanguageFiles = true) {
    QDir(dir_.path()).mkpath("DB");
    QFile::copy(QStringLiteral(VX_SUPPLIED_DB), databasePath());
    QFile(databasePath()).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    if (withLanguageFiles)
      for (const char *f : {"LangE.txt", "LangR.txt", "LangES.txt"})
        QFile::copy(QStringLiteral(VX_BIN_DIR) + "/" + f, file(QString::fromLatin1(f)));
  }
  bool isValid() const { return dir_.isValid(); }
  QString path() const { return dir_.path() + "/"; }
  QString file(const QString &name) const { return QDir(dir_.path()).filePath(name); }
  QString databasePath() const { return file("DB/dbVX4418.db"); }

private:
  QTemporaryDir dir_;
};
