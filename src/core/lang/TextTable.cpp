#include "lang/TextTable.h"

// Placeholder until the text table lands.
TextTable::TextTable() { restoreDefaults(); }

const QString &TextTable::at(int index) const {
  static const QString empty;
  return index >= 0 && index < Count ? texts_[index] : empty;
}

void TextTable::set(int index, const QString &text) {
  if (index >= 0 && index < Count)
    texts_[index] = text;
}

void TextTable::restoreDefaults() {
  for (int i = 0; i < Count; ++i)
    texts_[i] = defaultText(i);
}

bool TextTable::loadLanguageFile(const QString &) { return false; }

const QString &TextTable::defaultText(int) {
  static const QString empty;
  return empty;
}
