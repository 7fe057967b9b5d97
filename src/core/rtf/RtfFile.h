#pragma once
#include "rtf/RtfDocument.h"
#include <QString>

// Writes a document to a rich-text file, replacing it whole or leaving it as
// it was (see SaveWhole); false with the system's message in *error when the
// file could not be written.
bool SaveRtfFile(const QString &path, const RtfDocument &document, QString *error = nullptr);

// Reads a rich-text file. A file that is missing or cannot be opened reads as
// an empty document; of a file larger than RtfMaxFileSize only the beginning
// is read.
RtfDocument LoadRtfFile(const QString &path);

inline constexpr qint64 RtfMaxFileSize = 64 * 1024 * 1024;
