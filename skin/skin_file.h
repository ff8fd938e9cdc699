#pragma once

// The skin store on disk: a file that holds one serialised PropertyBag, the
// bag's byte form and nothing else (docs/skin-format.md). The program only
// reads skin files; WriteSkinFile is for the tools that make them.

#include "formats/property_bag.h"

#include <filesystem>
#include <optional>

namespace varnel {

// The usability rule: a skin file is used only when it holds at least this
// many bytes (its size divided by 1024, rounded down, is at least 30).
inline constexpr std::uint64_t kSkinMinimumBytes = 30 * 1024;

// Opens path read-only, reads the whole file, closes it, and decodes the bag.
// Nothing (no value) when the file is missing, not a regular file, unreadable,
// larger than PropertyBagLimits::kMaxContents, or not a valid bag; the caller
// then treats the store as an empty set, so every lookup gives its default.
// No handle stays open after the call, and the file is never written.
std::optional<PropertyBag> ReadSkinFile(const std::filesystem::path& path);

// Writes bag's byte form to path, through a temporary file in the same folder
// renamed over path, so a reader never sees half a skin. A path that names a
// link or anything but a regular file is refused; a regular file replaced
// keeps its permissions (and owner where allowed). False on failure (the
// message, if any, in *error); *done, when given, says what was done ("new
// file", "replaced a file, mode 0600 kept", ...).
bool WriteSkinFile(const std::filesystem::path& path, const PropertyBag& bag,
                   QString* error = nullptr, QString* done = nullptr);

} // namespace varnel
