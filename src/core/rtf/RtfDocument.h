#pragma once
#include <QList>
#include <QString>

// The character formatting a rich-text file of a history carries.
struct RtfCharFormat {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  // Font size in half points, as rich text counts it; 0 leaves the size to the
  // program that shows the text.
  int fontSize = 0;

  friend bool operator==(const RtfCharFormat &, const RtfCharFormat &) = default;
};

// A stretch of text with one format. Tabs are '\t', line breaks inside a
// paragraph are QChar::LineSeparator.
struct RtfRun {
  QString text;
  RtfCharFormat format;

  friend bool operator==(const RtfRun &, const RtfRun &) = default;
};

struct RtfParagraph {
  QList<RtfRun> runs;

  // Appends text, joining it to the last run when the format is the same;
  // empty text adds nothing.
  void append(const QString &text, const RtfCharFormat &format = {});
  QString text() const;

  friend bool operator==(const RtfParagraph &, const RtfParagraph &) = default;
};

// A rich-text document as paragraphs of formatted runs: what the read-history
// window saves and loads.
struct RtfDocument {
  QList<RtfParagraph> paragraphs;
  // Name of the document's font.
  QString fontName = QStringLiteral("Arial");

  // Adds a paragraph of one run.
  void addParagraph(const QString &text, const RtfCharFormat &format = {});
  bool isEmpty() const { return paragraphs.isEmpty(); }
  // The text of every paragraph, one per line; line breaks become '\n'.
  QString plainText() const;

  friend bool operator==(const RtfDocument &, const RtfDocument &) = default;
};
