#pragma once
#include <QString>
#include <QStringList>
#include <array>

#include "lang/ProgramTexts.h"

// The table of interface texts, entries 0 to 282: the built-in English texts at
// start, replaced from a language file. Every caption, hint, message, event name
// and unit name shown to the operator is one entry, addressed by its number.
//
// A hint may hold two parts separated by "|": the tooltip before it and the long
// hint after it (shortHint / longHint).
class TextTable {
public:
  static constexpr int Count = 283;
  // A language file carries this many lines, one text each, in a fixed order
  // (entryOfFileLine); entry 143 has no line and stays English.
  static constexpr int FileLineCount = 282;

  TextTable();

  // The text of an entry; an index outside the table gives an empty text.
  const QString &at(int index) const;
  // Ignored for an index outside the table.
  void set(int index, const QString &text);

  // Back to the built-in English texts.
  void restoreDefaults();

  // Replaces entries from the language file at path: line k of the file fills
  // entry entryOfFileLine(k). Entries whose lines the file lacks keep their
  // current texts; lines after the last used one are ignored. When there is no
  // readable file at path the table stays as it is and the result is false.
  //
  // The texts added since (ProgramText) follow in the file in their order:
  // line FileLineCount + t fills text t. A file without such a line (an older
  // file) leaves that text built in, in the language of the file's name.
  bool loadLanguageFile(const QString &path);

  // A text added after the entries of the table, as the loaded language file
  // gives it, or built in.
  QString text(ProgramText t) const;
  // The language of the texts loaded last (English before any file).
  Language language() const { return language_; }

  // The built-in English text of an entry; empty outside the table.
  static const QString &defaultText(int index);

  // The entry that line `line` (from 0) of a language file fills, or -1 for a
  // line outside 0..281.
  static int entryOfFileLine(int line);

  // The tooltip part of a hint (before the first "|") and the long part (after
  // it); a hint without "|" is both.
  static QString shortHint(const QString &hint);
  static QString longHint(const QString &hint);

private:
  std::array<QString, Count> texts_;
  Language language_ = Language::English;
  QStringList added_; // lines of the loaded file after FileLineCount
};
