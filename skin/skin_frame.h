#pragma once

// The four skin controls a skinned window embeds in place of its system title
// bar and borders, and the set-up that hands them the skin file at load.

#include <QString>

#include <cstdint>
#include <filesystem>

class QWidget;

namespace varnel {

class Skin_Border;
class Skin_Caption;

struct SkinFrame {
    Skin_Caption* caption = nullptr; // Skin_Caption1, docked at the top
    Skin_Border* left = nullptr;     // Skin_Border1, BORDERTYPE 1
    Skin_Border* right = nullptr;    // Skin_Border2, BORDERTYPE 2
    Skin_Border* bottom = nullptr;   // Skin_Border3, BORDERTYPE 3
};

// Makes the four controls as children of window, hidden and docked at their
// edges, each loaded with the properties a window keeps for it: the caption
// its Style, Tahoma 8.25 pt and the back colour RGB(90, 126, 220), the
// borders their BORDERTYPE.
SkinFrame CreateSkinFrame(QWidget* window, std::int32_t captionStyle);

// The skin file of a program: its folder followed by "/Skins/Skin20.dll".
QString SkinFileFor(const std::filesystem::path& programFolder);

// When the skin file at path is usable, every control gets the path (the
// caption first), the caption repaints once, and then all four are shown:
// no control is visible before every one has its skin. Returns whether the
// skin was taken; otherwise the controls are left as they are, without a
// path.
bool ApplySkin(const SkinFrame& frame, const QString& path);

} // namespace varnel
