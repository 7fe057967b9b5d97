#include "lang/ToolkitTranslations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

QString CatalogueSuffix(Language language) {
  switch (language) {
  case Language::Russian:
    return QStringLiteral("ru");
  case Language::Spanish:
    return QStringLiteral("es");
  case Language::English:
    break;
  }
  return QString();
}

} // namespace

ToolkitTranslations::ToolkitTranslations(QString programFolder)
    : programFolder_(std::move(programFolder)) {}

ToolkitTranslations::~ToolkitTranslations() {
  if (translator_)
    QCoreApplication::removeTranslator(translator_.get());
}

QStringList ToolkitTranslations::Folders() const {
  QStringList folders;
  if (!programFolder_.isEmpty())
    folders << QDir(programFolder_).filePath(QStringLiteral("translations"));
  folders << QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  return folders;
}

bool ToolkitTranslations::Follow(Language language) {
  if (translator_) {
    QCoreApplication::removeTranslator(translator_.get());
    translator_.reset();
  }
  current_ = Language::English;
  const QString suffix = CatalogueSuffix(language);
  if (suffix.isEmpty())
    return true;
  auto translator = std::make_unique<QTranslator>();
  for (const QString &folder : Folders())
    if (translator->load(QStringLiteral("qtbase_") + suffix, folder)) {
      QCoreApplication::installTranslator(translator.get());
      translator_ = std::move(translator);
      current_ = language;
      return true;
    }
  return false;
}
