#include "lang/ProgramTexts.h"

Language LanguageOfFile(const QString &langFile) {
  const QString name = langFile.toUpper();
  if (name.isEmpty()) // no language file: the built-in English texts
    return Language::English;
  if (name.contains(QLatin1String("LANGES")))
    return Language::Spanish;
  if (name.contains(QLatin1String("LANGE")))
    return Language::English;
  return Language::Russian;
}

QString ProgramTextIn(Language language, ProgramText text) {
  switch (text) {
  case ProgramText::NameTooLong:
    switch (language) {
    case Language::English:
      return QStringLiteral("A name may have at most %1 characters. Shorten it!")
          .arg(MaxNameLength);
    case Language::Russian:
      return QStringLiteral("Имя может содержать не более %1 знаков. Сократите его!")
          .arg(MaxNameLength);
    case Language::Spanish:
      return QStringLiteral("Un nombre puede tener como máximo %1 caracteres. ¡Acórtelo!")
          .arg(MaxNameLength);
    }
  }
  return {};
}
