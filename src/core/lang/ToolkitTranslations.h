#pragma once
#include <QString>
#include <QStringList>
#include <memory>

#include "lang/ProgramTexts.h"

class QTranslator;

// The toolkit's own texts (standard buttons, file and print dialogs) in the
// language of the interface texts. Qt ships them as qtbase_ru.qm and
// qtbase_es.qm; they are looked for in the program folder's "translations"
// folder first, then where the Qt installation keeps them. English needs
// none. Following another language takes the old catalogue out; every
// window then gets a language-change event, so open dialogs follow at once.
class ToolkitTranslations {
public:
  // `programFolder` may be empty: only the Qt installation is searched.
  explicit ToolkitTranslations(QString programFolder = QString());
  ~ToolkitTranslations();
  ToolkitTranslations(const ToolkitTranslations &) = delete;
  ToolkitTranslations &operator=(const ToolkitTranslations &) = delete;

  void SetProgramFolder(const QString &folder) { programFolder_ = folder; }

  // True when the toolkit now speaks `language` (always for English); false
  // when no catalogue of that language was found, and the toolkit's texts
  // are English then.
  bool Follow(Language language);
  Language Current() const { return current_; }

  // The folders searched, in order.
  QStringList Folders() const;

private:
  QString programFolder_;
  std::unique_ptr<QTranslator> translator_;
  Language current_ = Language::English;
};
