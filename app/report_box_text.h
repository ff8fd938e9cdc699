#pragma once

// The report text (UTF-8, each line ended by CR LF, a blank line after each
// block) and the form the text box's document holds it in. Each report block
// is one paragraph of the document, its lines parted by line separators
// (U+2028): a document of one paragraph per line costs several times as much
// to append to, and a folder report appends thousands of blocks. Both
// separators are line breaks in the box's plain text, so the box reads the
// same either way, and the report comes back from the box exactly (names in
// blocks are escaped, so no block holds a lone CR or LF or a separator of
// its own).

#include <QString>

#include <string_view>

namespace varnel {

// Appends report text to box in the box's form: a CR LF ends a line with a
// line separator, and the CR LF of a block's blank line ends its paragraph
// with '\n'. Decodes straight into box's own buffer, so a buffer kept
// between calls is reused rather than allocated again.
void AppendBoxText(QString& box, std::string_view report);

// The report text (CR LF line ends) of the box document's raw text, where
// paragraphs end with U+2029 and lines with U+2028; text the user typed or
// pasted included.
QString ReportTextOfBox(QString raw);

} // namespace varnel
