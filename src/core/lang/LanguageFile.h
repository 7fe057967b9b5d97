#pragma once
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>

// Language files: plain text, one interface text per line. A line ends at CR LF,
// at a lone LF or at a lone CR; the last line needs no line end; an empty line
// is an empty text and blanks are kept. There is no header, comment or escape.
//
// The text is UTF-8 when the lines in use are valid UTF-8 or the file starts with
// a UTF-8 byte order mark (which is dropped); otherwise it is Windows-1251, the
// code page of the files of older installations.

// A language file is read up to this size; what lies beyond is ignored, and so is
// a line cut off by the limit. Real files are a few kilobytes.
inline constexpr qint64 LanguageFileMaxBytes = 16 * 1024 * 1024;

// The first maxLines lines of a language file's content, decoded.
QStringList DecodeLanguageLines(QByteArrayView data, int maxLines);

// Reads and decodes the first maxLines lines of the file at path. No result when
// path names no regular file or the file cannot be read.
std::optional<QStringList> ReadLanguageFile(const QString &path, int maxLines);

// Windows-1251 bytes as text through the built-in table, for platforms without
// a converter for that code page.
QString Windows1251TableDecode(QByteArrayView bytes);
