#include "rtf/RtfReader.h"
#include "rtf/CodePage.h"

#include <QHash>
#include <algorithm>
#include <climits>
#include <vector>

namespace {

enum class Destination : quint8 { Text, FontTable, Skip };

// What a group inherits from its parent and gives back when it closes.
struct GroupState {
  RtfCharFormat format;
  int font = -1; // -1: the document's default font
  int unicodeSkip = 1;
  Destination destination = Destination::Text;
};

struct FontInfo {
  int charset = -1;
  int codePage = 0;
  QByteArray name;
};

constexpr int MaxFontSize = 3276; // half points
constexpr int MaxUnicodeSkip = 1000;
constexpr qsizetype MaxFontNameLength = 256;
constexpr qsizetype MaxWordLength = 32;

// The control words this reader acts on.
enum class Word : quint8 {
  Unknown,
  SkippedDestination, // a destination whose content is not body text
  FontTable,
  Bin,
  Unicode,
  UnicodeSkip,
  Par,
  Line,
  Tab,
  Bold,
  Italic,
  Underline,
  UnderlineNone,
  FontSize,
  Plain,
  Font,
  FontCharset,
  FontCodePage,
  Ansi,
  Mac,
  Pc,
  Pca,
  AnsiCodePage,
  DefaultFont,
  Special, // a character of its own
};

struct WordInfo {
  Word word = Word::Unknown;
  char16_t ch = 0;
};

QHash<QByteArray, WordInfo> BuildWordTable() {
  QHash<QByteArray, WordInfo> table;
  const auto add = [&table](const char *words, Word word) {
    for (const QByteArray &name : QByteArray(words).split(' '))
      table.insert(name, {word, 0});
  };
  add("aftncn aftnsep aftnsepc annotation atnauthor atnid background bkmkend bkmkstart "
      "colortbl colorschememapping datastore docvar filetbl fldinst footer footerf footerl "
      "footerr footnote ftncn ftnsep ftnsepc generator header headerf headerl headerr info "
      "latentstyles listoverridetable listtable macpict nonshppict object objdata pgdsctbl pict "
      "pn revtbl rsidtbl stylesheet tc template themedata txe userprops wmetafile xe xmlnstbl",
      Word::SkippedDestination);
  add("ul uld uldash uldashd uldashdd uldb ulhwave ulldash ulth ulthd ulthdash ulthdashd "
      "ulthdashdd ulthldash ululdbwave ulw ulwave",
      Word::Underline);
  add("par row nestrow", Word::Par);
  add("tab cell nestcell", Word::Tab);
  const std::pair<const char *, Word> single[] = {{"fonttbl", Word::FontTable},
                                                  {"bin", Word::Bin},
                                                  {"u", Word::Unicode},
                                                  {"uc", Word::UnicodeSkip},
                                                  {"line", Word::Line},
                                                  {"b", Word::Bold},
                                                  {"i", Word::Italic},
                                                  {"ulnone", Word::UnderlineNone},
                                                  {"fs", Word::FontSize},
                                                  {"plain", Word::Plain},
                                                  {"f", Word::Font},
                                                  {"fcharset", Word::FontCharset},
                                                  {"cpg", Word::FontCodePage},
                                                  {"ansi", Word::Ansi},
                                                  {"mac", Word::Mac},
                                                  {"pc", Word::Pc},
                                                  {"pca", Word::Pca},
                                                  {"ansicpg", Word::AnsiCodePage},
                                                  {"deff", Word::DefaultFont}};
  for (const auto &[name, word] : single)
    table.insert(name, {word, 0});
  const std::pair<const char *, char16_t> special[] = {
      {"emdash", 0x2014},  {"endash", 0x2013},    {"bullet", 0x2022},    {"lquote", 0x2018},
      {"rquote", 0x2019},  {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"emspace", 0x2003},
      {"enspace", 0x2002}, {"qmspace", 0x2005},   {"zwj", 0x200D},       {"zwnj", 0x200C},
      {"ltrmark", 0x200E}, {"rtlmark", 0x200F}};
  for (const auto &[name, ch] : special)
    table.insert(name, {Word::Special, ch});
  return table;
}

WordInfo LookUpWord(QByteArrayView word) {
  static const QHash<QByteArray, WordInfo> table = BuildWordTable();
  return table.value(QByteArray::fromRawData(word.data(), word.size()));
}

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsSpecial(char c) {
  return c == '{' || c == '}' || c == '\\' || c == '\r' || c == '\n';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexValue(char c) {
  if (IsDigit(c))
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// Replaces halves of surrogate pairs that have no partner.
void RepairSurrogates(QString &text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar ch = text.at(i);
    if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
      ++i;
    else if (ch.isSurrogate())
      text[i] = QChar::ReplacementCharacter;
  }
}

// One pass over the input. Groups are kept on an explicit stack, so nesting
// costs no native stack.
class RtfParser {
public:
  explicit RtfParser(const QByteArray &data) : data_(data) {}

  RtfDocument parse();

private:
  GroupState &state() { return stack_.empty() ? outside_ : stack_.back(); }
  bool skipping() { return overflow_ > 0 || state().destination == Destination::Skip; }
  // A token that stands in for the fallback of a \uN is dropped.
  bool consumeFallback();

  void openGroup();
  void closeGroup();
  void readControl();
  void controlWord(WordInfo info, bool hasParam, int param);
  void textControlWord(WordInfo info, bool hasParam, int param);
  void fontTableWord(Word word, bool hasParam, int param);
  void controlSymbol(char symbol);
  void readText();
  void textByte(char byte);
  void appendText(QString text);
  void flushText();
  void endParagraph();
  int currentCodePage();

  const QByteArray &data_;
  qsizetype pos_ = 0;
  std::vector<GroupState> stack_;
  GroupState outside_;
  int overflow_ = 0;         // groups opened beyond the depth limit
  bool done_ = false;        // the outermost group has closed
  bool starPending_ = false; // "\*" seen: the next control word names a skipped destination
  int fallbackLeft_ = 0;     // fallback characters of the last \uN still to drop
  QByteArray pendingBytes_;  // body text not yet decoded, all in the current state

  int documentCodePage_ = 1252;
  int defaultFont_ = 0;
  int fontBeingDefined_ = -1;
  QHash<int, FontInfo> fonts_;
  CodePageDecoder decoder_;

  RtfDocument document_;
  RtfParagraph paragraph_;
};

RtfDocument RtfParser::parse() {
  static const QByteArray bom("\xEF\xBB\xBF");
  if (data_.startsWith(bom))
    pos_ = bom.size();
  while (pos_ < data_.size() && QChar::isSpace(uchar(data_[pos_])))
    ++pos_;
  if (data_.mid(pos_, 5) != "{\\rtf")
    return {};

  while (pos_ < data_.size() && !done_) {
    const char c = data_[pos_++];
    switch (c) {
    case '{':
      openGroup();
      break;
    case '}':
      closeGroup();
      break;
    case '\\':
      readControl();
      break;
    case '\r':
    case '\n':
      break;
    default:
      --pos_;
      readText();
      break;
    }
  }
  flushText();
  if (!paragraph_.runs.isEmpty())
    document_.paragraphs.append(paragraph_);
  for (RtfParagraph &paragraph : document_.paragraphs)
    for (RtfRun &run : paragraph.runs)
      RepairSurrogates(run.text);
  const QByteArray fontName = fonts_.value(defaultFont_).name;
  if (!fontName.isEmpty())
    document_.fontName = QString::fromLatin1(fontName);
  return document_;
}

bool RtfParser::consumeFallback() {
  if (fallbackLeft_ <= 0)
    return false;
  --fallbackLeft_;
  return true;
}

void RtfParser::openGroup() {
  flushText();
  fallbackLeft_ = 0;
  starPending_ = false;
  if (overflow_ > 0 || stack_.size() >= size_t(RtfMaxGroupDepth))
    ++overflow_;
  else
    stack_.push_back(state());
}

void RtfParser::closeGroup() {
  flushText();
  fallbackLeft_ = 0;
  starPending_ = false;
  if (overflow_ > 0) {
    --overflow_;
    return;
  }
  if (!stack_.empty())
    stack_.pop_back();
  if (stack_.empty())
    done_ = true;
}

void RtfParser::readControl() {
  if (pos_ >= data_.size())
    return;
  if (!IsLetter(data_[pos_])) {
    controlSymbol(data_[pos_++]);
    return;
  }
  const qsizetype start = pos_;
  while (pos_ < data_.size() && IsLetter(data_[pos_]))
    ++pos_;
  const QByteArrayView word(data_.constData() + start, std::min(pos_ - start, MaxWordLength));
  bool negative = false;
  if (pos_ + 1 < data_.size() && data_[pos_] == '-' && IsDigit(data_[pos_ + 1])) {
    negative = true;
    ++pos_;
  }
  bool hasParam = false;
  qint64 value = 0;
  while (pos_ < data_.size() && IsDigit(data_[pos_])) {
    hasParam = true;
    value = std::min<qint64>(value * 10 + (data_[pos_] - '0'), qint64(1) << 40);
    ++pos_;
  }
  if (pos_ < data_.size() && data_[pos_] == ' ')
    ++pos_;
  value = std::clamp<qint64>(negative ? -value : value, INT_MIN, INT_MAX);
  controlWord(LookUpWord(word), hasParam, int(value));
}

void RtfParser::controlWord(WordInfo info, bool hasParam, int param) {
  flushText();
  if (info.word == Word::Bin) {
    // Raw bytes follow; they may hold anything, braces included.
    if (hasParam && param > 0)
      pos_ += std::min<qsizetype>(param, data_.size() - pos_);
    consumeFallback();
    starPending_ = false;
    return;
  }
  if (skipping())
    return;
  const bool starred = std::exchange(starPending_, false);
  if (info.word == Word::Unicode) {
    // A \uN ends the fallback of the one before it, for writers that give none.
    fallbackLeft_ = 0;
  } else if (consumeFallback()) {
    return;
  }

  switch (info.word) {
  case Word::SkippedDestination:
    state().destination = Destination::Skip;
    return;
  case Word::FontTable:
    state().destination = Destination::FontTable;
    return;
  case Word::UnicodeSkip:
    state().unicodeSkip = std::clamp(param, 0, MaxUnicodeSkip);
    return;
  default:
    break;
  }
  if (starred)
    state().destination = Destination::Skip;
  else if (state().destination == Destination::FontTable)
    fontTableWord(info.word, hasParam, param);
  else
    textControlWord(info, hasParam, param);
}

void RtfParser::fontTableWord(Word word, bool hasParam, int param) {
  if (word == Word::Font && hasParam) {
    fontBeingDefined_ = param;
    if (!fonts_.contains(param))
      fonts_.insert(param, FontInfo{});
  } else if (fontBeingDefined_ >= 0 && fonts_.contains(fontBeingDefined_)) {
    if (word == Word::FontCharset)
      fonts_[fontBeingDefined_].charset = param;
    else if (word == Word::FontCodePage)
      fonts_[fontBeingDefined_].codePage = param;
  }
}

void RtfParser::textControlWord(WordInfo info, bool hasParam, int param) {
  RtfCharFormat &format = state().format;
  const bool on = !hasParam || param != 0;
  switch (info.word) {
  case Word::Par:
    endParagraph();
    break;
  case Word::Line:
    appendText(QString(QChar::LineSeparator));
    break;
  case Word::Tab:
    appendText(QStringLiteral("\t"));
    break;
  case Word::Unicode: {
    const bool valid = hasParam && param >= -32768 && param <= 65535;
    appendText(QString(QChar(valid ? char16_t(param < 0 ? param + 65536 : param)
                                   : char16_t(QChar::ReplacementCharacter))));
    fallbackLeft_ = state().unicodeSkip;
    break;
  }
  case Word::Special:
    appendText(QString(QChar(info.ch)));
    break;
  case Word::Bold:
    format.bold = on;
    break;
  case Word::Italic:
    format.italic = on;
    break;
  case Word::Underline:
    format.underline = on;
    break;
  case Word::UnderlineNone:
    format.underline = false;
    break;
  case Word::FontSize:
    format.fontSize = hasParam && param > 0 ? std::min(param, MaxFontSize) : 0;
    break;
  case Word::Plain:
    format = RtfCharFormat{};
    state().font = -1;
    break;
  case Word::Font:
    state().font = hasParam ? param : -1;
    break;
  case Word::Ansi:
    documentCodePage_ = 1252;
    break;
  case Word::Mac:
    documentCodePage_ = 10000;
    break;
  case Word::Pc:
    documentCodePage_ = 437;
    break;
  case Word::Pca:
    documentCodePage_ = 850;
    break;
  case Word::AnsiCodePage:
    if (hasParam && param > 0)
      documentCodePage_ = param;
    break;
  case Word::DefaultFont:
    defaultFont_ = param;
    break;
  default:
    break; // every other control word changes nothing this reader keeps
  }
}

void RtfParser::controlSymbol(char symbol) {
  if (symbol == '*') {
    if (!skipping())
      starPending_ = true;
    return;
  }
  starPending_ = false;
  if (symbol == '\'') {
    // Two hex digits make a byte; a byte cut short is dropped.
    int byte = 0;
    int digits = 0;
    for (; digits < 2 && pos_ < data_.size() && HexValue(data_[pos_]) >= 0; ++digits)
      byte = byte * 16 + HexValue(data_[pos_++]);
    if (digits == 2)
      textByte(char(byte));
    else
      consumeFallback();
    return;
  }
  if (skipping() || consumeFallback())
    return;
  switch (symbol) {
  case '\\':
  case '{':
  case '}':
    textByte(symbol);
    break;
  case '~':
    appendText(QString(QChar(0x00A0)));
    break;
  case '_':
    appendText(QString(QChar(0x2011)));
    break;
  case '\n':
  case '\r':
    endParagraph();
    break;
  default:
    break; // optional hyphen, index marks and unknown symbols
  }
}

// Reads the text up to the next brace, backslash or line end.
void RtfParser::readText() {
  const qsizetype start = pos_;
  while (pos_ < data_.size() && !IsSpecial(data_[pos_]))
    ++pos_;
  const QByteArrayView text(data_.constData() + start, pos_ - start);
  if (fallbackLeft_ > 0 || skipping() || state().destination != Destination::Text) {
    for (char byte : text)
      textByte(byte);
    return;
  }
  starPending_ = false;
  for (char byte : text)
    if (uchar(byte) >= 0x20 || byte == '\t')
      pendingBytes_ += byte;
}

void RtfParser::textByte(char byte) {
  starPending_ = false;
  if (skipping())
    return;
  if (state().destination == Destination::FontTable) {
    if (fontBeingDefined_ < 0 || !fonts_.contains(fontBeingDefined_))
      return;
    FontInfo &font = fonts_[fontBeingDefined_];
    if (byte == ';')
      font.name = font.name.trimmed();
    else if (font.name.size() < MaxFontNameLength && uchar(byte) >= 0x20)
      font.name += byte;
    return;
  }
  if (consumeFallback())
    return;
  if (uchar(byte) < 0x20 && byte != '\t')
    return;
  pendingBytes_ += byte;
}

void RtfParser::appendText(QString text) {
  flushText();
  if (skipping() || state().destination != Destination::Text)
    return;
  text.replace(QChar::ParagraphSeparator, QChar::LineSeparator);
  text.removeIf([](QChar ch) { return ch.unicode() < 0x20 && ch != u'\t'; });
  paragraph_.append(text, state().format);
}

void RtfParser::flushText() {
  if (pendingBytes_.isEmpty())
    return;
  const QByteArray bytes = std::exchange(pendingBytes_, QByteArray());
  appendText(decoder_.decode(currentCodePage(), bytes));
}

void RtfParser::endParagraph() {
  flushText();
  document_.paragraphs.append(std::exchange(paragraph_, RtfParagraph()));
}

int RtfParser::currentCodePage() {
  const int font = state().font >= 0 ? state().font : defaultFont_;
  const auto it = fonts_.constFind(font);
  if (it != fonts_.constEnd()) {
    if (it->codePage > 0)
      return it->codePage;
    if (const int codePage = CodePageOfCharset(it->charset))
      return codePage;
  }
  return documentCodePage_;
}

} // namespace

RtfDocument ReadRtf(const QByteArray &data) {
  try {
    return RtfParser(data).parse();
  } catch (...) {
    // Only running out of memory can end up here; a file that large reads as nothing.
    return {};
  }
}
