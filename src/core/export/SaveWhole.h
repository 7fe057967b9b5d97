#pragma once
#include <QByteArray>
#include <QString>

class TextTable;

// Replaces the file at path with bytes, whole or not at all: every write, the
// flush and the sync to the disk are checked before the new file takes the
// old one's place. A disk that fills up, a share that goes away or a folder
// that cannot be written leaves the old file as it was (or no file, when there
// was none) and answers false with the system's message in *error.
bool SaveWhole(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// The operator's message about a file: what was being done (a text of the
// interface), the file in the platform's notation and the reason, one line
// each.
QString FileProblemText(const QString &what, const QString &path, const QString &reason);

// "The file cannot be written: <file>" in the language in use, then the reason.
QString FileNotWrittenText(const TextTable &texts, const QString &path, const QString &reason);
