#pragma once
#include "rtf/RtfDocument.h"

class QTextDocument;

// Between the rich-text box of the read-history window and the document model
// of rich-text files: paragraphs become blocks, runs become fragments with
// bold, italic, underline and font size.

// Replaces the content of `target` with `document`.
void ToTextDocument(const RtfDocument &document, QTextDocument *target);

// The text of `source` with its formatting. A fragment without a size of its
// own takes the size of the document's default font, so the file shows the
// text as large as the window does.
RtfDocument FromTextDocument(const QTextDocument &source);
