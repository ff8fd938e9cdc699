#pragma once

// The skin library: the process-wide sizing flag and the functions the skin
// controls share to decide on, read and take values from the skin store.

#include "formats/property_bag.h"

#include <QString>

#include <cstdint>
#include <filesystem>
#include <optional>

namespace varnel {

// True while a window may be resized by dragging its skinned borders. Shared
// by every skin control of the process; only the caption control writes it,
// the border controls read it. Starts False.
extern bool SizingEnabled;

// A skin file is used only when a plain file exists at path (hidden entries,
// those whose name begins with ".", and anything that is not a regular file
// count as missing) and it holds at least 30720 bytes. A path with nothing
// at it fails quietly.
bool IsSkinUsable(const std::filesystem::path& path);
bool IsSkinUsable(const QString& path);

// The skin store at path as its file holds it now: an empty set when the
// path is empty or the file is missing, unreadable or not a valid store, so
// that every lookup then gives its default. The file is read through a handle
// of its own and closed again. The controls do not call this: they draw from
// the decoded value of SkinSource (skin_value.h), read off the window's
// thread.
PropertyBag OpenSkinStore(const std::filesystem::path& path);
PropertyBag OpenSkinStore(const QString& path);

// The 16-bit integer or the colour stored under name; nothing when the entry
// is missing or of another kind, so the caller skips the step that needs it.
std::optional<std::int16_t> SkinInteger(const PropertyBag& store, const QString& name);
std::optional<formats::Colour> SkinColour(const PropertyBag& store, const QString& name);

// A skin path held as text (the controls' Path) as a native path, bytes
// unchanged on this platform.
std::filesystem::path SkinPathFromText(const QString& path);

} // namespace varnel
