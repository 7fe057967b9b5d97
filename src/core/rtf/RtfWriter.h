#pragma once
#include "rtf/RtfDocument.h"
#include <QByteArray>

// Writes a document as rich text (RTF 1.x, 7-bit ASCII). The code page is
// 1251 or 1252, whichever holds more of the document's characters. A character
// outside printable ASCII goes out as \uN followed by \'hh, its byte in that
// code page or "?" when it has none there, for programs that do not read \uN.
QByteArray WriteRtf(const RtfDocument &document);

// The code page WriteRtf chooses for a document: 1251 or 1252.
int RtfCodePageFor(const RtfDocument &document);
