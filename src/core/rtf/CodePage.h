#pragma once
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <optional>

// The single-byte Windows code pages of rich-text files. 1251 (Cyrillic) and
// 1252 (Western) are built in, so they read the same on every platform.

// The byte of a character in code page 1251 or 1252, or -1 when the character
// has none there (or the code page is another one).
int EncodeCodePageChar(int codePage, char16_t ch);

// The code page a font charset of a rich-text font table stands for, or 0 when
// the charset leaves it to the document (ANSI, default, symbol, unknown).
int CodePageOfCharset(int charset);

// Turns bytes of a code page into text. Code pages other than 1251 and 1252
// go through Qt's converters where the platform has them; one that cannot be
// read is taken as 1252. Bytes a code page leaves undefined become U+FFFD.
class CodePageDecoder {
public:
  QString decode(int codePage, QByteArrayView bytes);

private:
  int cachedPage_ = 0;
  std::optional<QStringDecoder> cached_;
};
