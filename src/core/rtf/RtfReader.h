#pragma once
#include "rtf/RtfDocument.h"
#include <QByteArray>

// Reads rich text (RTF) into a document: the text of its body with bold,
// italic, underline and font size; everything else is left out. Input that
// does not start with "{\rtf" reads as an empty document. Damaged input
// (truncated, binary, unbalanced) reads as the text found before the damage
// and whatever can be made of the rest; nothing throws, and the time taken
// grows with the length of the input only.
RtfDocument ReadRtf(const QByteArray &data);

// Groups nested deeper than this are left out with their content.
inline constexpr int RtfMaxGroupDepth = 10000;
