#pragma once

// The skin library: the process-wide sizing flag and the functions the skin
// controls share to decide on, read and take values from the skin store.

#include "platform/formats/property_bag.h"
#include "platform/gdi.h"

#include <QString>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

namespace varnel {

class Skin_clsBitmap;

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
// of its own and closed again, and only when it differs from the version last
// decoded (its size, modification time or identity changed); an unchanged
// file is served from the decoded copy that every skin control shares
// (SkinStoreCache).
PropertyBag OpenSkinStore(const std::filesystem::path& path);
PropertyBag OpenSkinStore(const QString& path);

// The same store without a copy of the set.
std::shared_ptr<const PropertyBag> SharedSkinStore(const std::filesystem::path& path);
std::shared_ptr<const PropertyBag> SharedSkinStore(const QString& path);

// A new bitmap handle with the picture stored under name (any letter case);
// the caller owns it. 0 when the entry is missing or not a picture.
platform::HBITMAP SkinPictureHandle(const PropertyBag& store, const QString& name);

// Loads the picture stored under name into holder. When the entry is missing
// or not a picture the step is skipped: the holder keeps what it had and the
// result is false.
bool LoadSkinPicture(Skin_clsBitmap& holder, const PropertyBag& store, const QString& name);

// The 16-bit integer or the colour stored under name; nothing when the entry
// is missing or of another kind, so the caller skips the step that needs it.
std::optional<std::int16_t> SkinInteger(const PropertyBag& store, const QString& name);
std::optional<platform::Colour> SkinColour(const PropertyBag& store, const QString& name);

// A skin path held as text (the controls' Path) as a native path, bytes
// unchanged on this platform.
std::filesystem::path SkinPathFromText(const QString& path);

} // namespace varnel
