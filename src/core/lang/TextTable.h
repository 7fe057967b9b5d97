#pragma once
#include <QString>
#include <array>

// The table of interface texts, entries 0 to 282: English at start, replaced
// from a language file.
class TextTable {
public:
  static constexpr int Count = 283;

  TextTable();

  // The text of an entry; an index outside the table gives an empty text.
  const QString &at(int index) const;
  void set(int index, const QString &text);

  // Back to the built-in English texts.
  void restoreDefaults();

  // Replaces entries from a language file; see TextTable.cpp for the rules.
  bool loadLanguageFile(const QString &path);

  static const QString &defaultText(int index);

private:
  std::array<QString, Count> texts_;
};
