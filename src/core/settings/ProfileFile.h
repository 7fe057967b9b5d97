#pragma once
#include <QByteArray>
#include <QString>

// An ini-style settings file read and written one value at a time.
//
// Every read looks at the file as it is on disk now: a missing file, section or
// key gives the default. Section and key names are looked up without regard to
// case and are written as given. Every write changes only the line of that key
// (or adds it, and its section when missing) and keeps every other byte of the
// file; the file is replaced whole or not at all.
class ProfileFile {
public:
  // Files larger than this are not parsed: they read as empty and are never
  // overwritten.
  static constexpr qint64 MaxFileSize = 1024 * 1024;

  explicit ProfileFile(const QString &path);
  virtual ~ProfileFile() = default;

  const QString &path() const { return path_; }

  // True when a regular file exists at the path.
  bool exists() const;

  QString readString(const QString &section, const QString &key, const QString &defaultValue) const;
  // A value that is not a whole number within range gives the default.
  int readInteger(const QString &section, const QString &key, int defaultValue) const;
  // Read as a whole number: non-zero is true.
  bool readBool(const QString &section, const QString &key, bool defaultValue) const;

  // Each returns false when nothing was written: the file could not be read
  // whole or replaced, or a name or value would break the line structure
  // (line breaks or NUL anywhere, "]" in a section, "=" in a key, empty key).
  bool writeString(const QString &section, const QString &key, const QString &value);
  bool writeInteger(const QString &section, const QString &key, int value);
  // Written as "1" or "0".
  bool writeBool(const QString &section, const QString &key, bool value);

  // Why the last write that failed failed (the system's message where it gave
  // one); empty while none has.
  const QString &lastError() const { return lastError_; }

protected:
  // Replaces the whole file with contents (see SaveWhole); false with the
  // reason in lastError_ when the old file had to be kept.
  virtual bool commit(const QByteArray &contents);

  QString lastError_;

private:
  QString path_;
};
