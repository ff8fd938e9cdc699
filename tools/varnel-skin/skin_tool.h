#pragma once

// The work of the varnel-skin tool: building a skin store from a folder of
// pictures and a values file, taking one apart again, and listing one.
//
// A skin folder holds one picture per picture entry, named after the entry
// (any letter case) with the extension .png or .bmp, and a file values.txt:
//
//   # comments run from '#' at the start of a line (after blanks)
//   XOFFSET   = 13            integers: decimal, -32768 to 32767
//   FORECOLOR = #FFFFFF       colours: #RRGGBB ...
//   BackColor = &H008C4028&   ... or the Windows layout &HBBGGRR (trailing & optional)
//
// Every entry of kSkinEntries must be present; unknown names, a value of the
// wrong kind and a name given twice are errors.

#include "formats/property_bag.h"

#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>

namespace varnel::skintool {

inline constexpr const char* kValuesFileName = "values.txt";

// Exit statuses of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// The integers and colours of a values file, or nothing with the errors (each
// naming the line) in *errors.
std::optional<PropertyBag> ParseValues(const QString& text, const QString& fileName,
                                       QStringList* errors);

// The skin store of a skin folder, or nothing with every problem found in
// *errors (missing entries, unreadable pictures, bad values).
std::optional<PropertyBag> PackFolder(const std::filesystem::path& dir, QStringList* errors);

// Writes the pictures of bag as NAME.png and its integers and colours as
// values.txt into dir (made when missing; refused when dir itself is a
// symbolic link, which is never followed). Entries of other kinds, and names
// that are not plain [A-Za-z0-9_] file names, are reported in *warnings and
// left out. False with *errors when a file cannot be written.
bool UnpackToFolder(const PropertyBag& bag, const std::filesystem::path& dir, QStringList* warnings,
                    QStringList* errors);

// One line per entry: name, kind and size or value; then the required
// entries that are missing, if any.
QString ListEntries(const PropertyBag& bag);

// Colour text as values.txt writes it: &H00BBGGRR&.
QString ColourText(Colour colour);

// Runs the tool: args without the program name. Output goes to out, errors
// and warnings to err; the result is the exit status.
int Run(const QStringList& args, QString& out, QString& err);

} // namespace varnel::skintool
