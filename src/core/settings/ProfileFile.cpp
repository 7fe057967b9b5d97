#include "settings/ProfileFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>
#include <optional>

#include "export/SaveWhole.h"

// Header-only use of the parser, on raw bytes: values are decoded below.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

// What the writer and the reader agree a file is made of: lines ended by
// CR LF, LF or CR; blank and comment (";", "#") lines; section lines "[name]";
// key lines "key=value". Anything else is left alone and ignored. NUL bytes
// count as blanks so that a stray NUL does not hide the rest of the file.

static const QByteArray Utf8Bom("\xEF\xBB\xBF");

enum class LoadResult { Loaded, Missing, Refused };

static LoadResult loadContents(const QString &path, QByteArray &contents) {
  contents.clear();
  const QFileInfo info(path);
  if (!info.exists())
    return LoadResult::Missing;
  if (!info.isFile() || info.size() > ProfileFile::MaxFileSize)
    return LoadResult::Refused;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return LoadResult::Refused;
  // A read allocates what it asks for, so ask for what the file holds (and
  // one byte more to see growth), not for the largest file parsed.
  const qint64 want = std::min(info.size(), ProfileFile::MaxFileSize) + 1;
  contents = file.read(want);
  if (contents.size() == want && want <= ProfileFile::MaxFileSize) // grew since measured
    contents += file.read(ProfileFile::MaxFileSize + 1 - want);
  if (contents.size() > ProfileFile::MaxFileSize || file.error() != QFile::NoError) {
    contents.clear();
    return LoadResult::Refused;
  }
  return LoadResult::Loaded;
}

static bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\0';
}

static QByteArray trimmed(const QByteArray &bytes) {
  qsizetype b = 0, e = bytes.size();
  while (b < e && isBlank(bytes[b]))
    ++b;
  while (e > b && isBlank(bytes[e - 1]))
    --e;
  return bytes.mid(b, e - b);
}

// Names compare without regard to ASCII case, as the parser does.
static bool sameName(const QByteArray &a, const QByteArray &b) {
  if (a.size() != b.size())
    return false;
  for (qsizetype i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z')
      x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z')
      y = char(y - 'A' + 'a');
    if (x != y)
      return false;
  }
  return true;
}

static QString decodeValue(const QByteArray &bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = utf8.decode(bytes);
  if (!utf8.hasError())
    return text;
  // Files written by older installations use the Cyrillic ANSI code page.
  QStringDecoder cp1251("windows-1251");
  if (cp1251.isValid())
    return cp1251.decode(bytes);
  return QString::fromLatin1(bytes);
}

static std::optional<QByteArray> findValue(const QString &path, const QString &section,
                                           const QString &key) {
  QByteArray contents;
  if (loadContents(path, contents) != LoadResult::Loaded)
    return std::nullopt;
  contents.replace('\0', ' ');
  CSimpleIniA ini(/*a_bIsUtf8=*/false, /*a_bMultiKey=*/true, /*a_bMultiLine=*/false);
  ini.SetQuotes(true);
  if (ini.LoadData(contents.constData(), size_t(contents.size())) < 0)
    return std::nullopt;
  // With several entries of one key the first one counts.
  const char *value = ini.GetValue(section.toUtf8().constData(), key.toUtf8().constData());
  if (!value)
    return std::nullopt;
  return QByteArray(value);
}

static bool hasLineBreakOrNul(const QByteArray &bytes) {
  return bytes.contains('\r') || bytes.contains('\n') || bytes.contains('\0');
}

static bool canWrite(const QByteArray &section, const QByteArray &key, const QByteArray &value) {
  if (hasLineBreakOrNul(section) || hasLineBreakOrNul(key) || hasLineBreakOrNul(value))
    return false;
  if (section.contains(']'))
    return false;
  const QByteArray name = trimmed(key);
  return !name.isEmpty() && !key.contains('=') && name[0] != ';' && name[0] != '#' &&
         name[0] != '[';
}

static QByteArray lineEnding(const QByteArray &contents) {
  if (contents.contains("\r\n"))
    return "\r\n";
  if (contents.contains('\n'))
    return "\n";
#ifdef Q_OS_WIN
  return "\r\n";
#else
  return "\n";
#endif
}

// The file with key in section set to value: the first entry of the key in a
// section of that name is changed in place; otherwise the key is added after
// the last entry of the first such section, or a new section is appended.
static QByteArray withValue(QByteArray contents, const QByteArray &section, const QByteArray &key,
                            const QByteArray &value) {
  const QByteArray eol = lineEnding(contents);
  const qsizetype start = contents.startsWith(Utf8Bom) ? Utf8Bom.size() : 0;
  const QByteArray wantedSection = trimmed(section);
  const QByteArray wantedKey = trimmed(key);

  // Entries before the first section line belong to the section without name.
  bool inSection = wantedSection.isEmpty();
  bool firstSectionOpen = inSection; // still inside the first matching section
  qsizetype insertAt = inSection ? start : -1;

  qsizetype pos = start;
  const qsizetype size = contents.size();
  while (pos < size) {
    qsizetype end = pos;
    while (end < size && contents[end] != '\r' && contents[end] != '\n')
      ++end;
    qsizetype next = end;
    if (next < size && contents[next++] == '\r' && next < size && contents[next] == '\n')
      ++next;

    qsizetype p = pos;
    while (p < end && isBlank(contents[p]))
      ++p;
    if (p < end && contents[p] == '[') {
      const qsizetype close = contents.indexOf(']', p);
      if (close >= 0 && close < end) {
        inSection = sameName(trimmed(contents.mid(p + 1, close - p - 1)), wantedSection);
        if (inSection && insertAt < 0) {
          firstSectionOpen = true;
          insertAt = next;
        } else if (!inSection) {
          firstSectionOpen = false;
        }
      }
    } else if (p < end && contents[p] != ';' && contents[p] != '#') {
      const qsizetype eq = contents.indexOf('=', p);
      if (eq >= 0 && eq < end && inSection) {
        const QByteArray name = trimmed(contents.mid(p, eq - p));
        if (sameName(name, wantedKey)) {
          qsizetype valueStart = eq + 1;
          while (valueStart < end && isBlank(contents[valueStart]))
            ++valueStart;
          return contents.replace(valueStart, end - valueStart, value);
        }
        if (!name.isEmpty() && firstSectionOpen)
          insertAt = next;
      }
    }
    pos = next;
  }

  const bool endsOpen = size > start && contents[size - 1] != '\n' && contents[size - 1] != '\r';
  QByteArray entry = key + '=' + value + eol;
  if (insertAt >= 0) {
    if (insertAt == size && endsOpen)
      entry.prepend(eol);
    return contents.insert(insertAt, entry);
  }
  if (endsOpen)
    contents.append(eol);
  return contents.append('[' + section + ']' + eol + entry);
}

ProfileFile::ProfileFile(const QString &path) : path_(path) {}

bool ProfileFile::exists() const {
  return QFileInfo(path_).isFile();
}

QString ProfileFile::readString(const QString &section, const QString &key,
                                const QString &defaultValue) const {
  const auto value = findValue(path_, section, key);
  return value ? decodeValue(*value) : defaultValue;
}

int ProfileFile::readInteger(const QString &section, const QString &key, int defaultValue) const {
  const auto value = findValue(path_, section, key);
  if (!value)
    return defaultValue;
  bool ok = false;
  const int number = value->toInt(&ok, 10);
  return ok ? number : defaultValue;
}

bool ProfileFile::readBool(const QString &section, const QString &key, bool defaultValue) const {
  return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool ProfileFile::writeString(const QString &section, const QString &key, const QString &value) {
  const QByteArray s = section.toUtf8(), k = key.toUtf8(), v = value.toUtf8();
  if (!canWrite(s, k, v)) {
    lastError_ = QStringLiteral("%1 cannot be written to [%2] %3.").arg(value, section, key);
    return false;
  }
  QByteArray contents;
  if (loadContents(path_, contents) == LoadResult::Refused) {
    QFile file(path_);
    lastError_ = file.open(QIODevice::ReadOnly) ? QStringLiteral("The file cannot be read whole.")
                                                : file.errorString();
    return false;
  }
  return commit(withValue(contents, s, k, v));
}

bool ProfileFile::writeInteger(const QString &section, const QString &key, int value) {
  return writeString(section, key, QString::number(value));
}

bool ProfileFile::writeBool(const QString &section, const QString &key, bool value) {
  return writeInteger(section, key, value ? 1 : 0);
}

bool ProfileFile::commit(const QByteArray &contents) {
  return SaveWhole(path_, contents, &lastError_);
}
