#pragma once

// The entries the program asks of a skin store: every name, its kind and its
// use. The tools that build and check skins, the tests and the skin controls
// all take the list from here.

#include "formats/property_bag.h"

#include <array>
#include <string_view>

namespace varnel {

enum class SkinEntryKind {
    Picture, // stored as PropertyKind::Picture
    Integer, // a signed 16-bit number of pixels, stored as PropertyKind::Int16
    Colour,  // 0x00BBGGRR, stored as PropertyKind::Colour
};

struct SkinEntry {
    std::string_view name; // as the program spells it; lookups ignore case
    SkinEntryKind kind;
    std::string_view use;
};

inline constexpr std::array<SkinEntry, 33> kSkinEntries{{
    {"LEFTTOP", SkinEntryKind::Picture, "left border, top piece; its width is the border's"},
    {"LEFTMID", SkinEntryKind::Picture, "left border, piece repeated downwards"},
    {"RIGHTTOP", SkinEntryKind::Picture, "right border, top piece; its width is the border's"},
    {"RIGHTMID", SkinEntryKind::Picture, "right border, piece repeated downwards"},
    {"LEFTBOT", SkinEntryKind::Picture, "bottom border, left corner piece"},
    {"RIGHTBOT", SkinEntryKind::Picture, "bottom border, right corner piece"},
    {"BOTTOM", SkinEntryKind::Picture,
     "bottom border, piece repeated rightwards; its height is the border's"},
    {"TOPLEFT", SkinEntryKind::Picture, "title bar, left piece; its height is the bar's"},
    {"TOPMID", SkinEntryKind::Picture, "title bar, middle piece repeated rightwards"},
    {"TOPRIGHT", SkinEntryKind::Picture, "title bar, right piece"},
    {"CLOSE", SkinEntryKind::Picture, "close button, normal"},
    {"CLOSE2", SkinEntryKind::Picture, "close button, pressed"},
    {"CLOSE3", SkinEntryKind::Picture, "close button, hover"},
    {"MIN", SkinEntryKind::Picture, "minimise button, normal"},
    {"MIN2", SkinEntryKind::Picture, "minimise button, pressed"},
    {"MIN3", SkinEntryKind::Picture, "minimise button, hover"},
    {"MAX", SkinEntryKind::Picture, "maximise button, normal"},
    {"MAX2", SkinEntryKind::Picture, "maximise button, pressed"},
    {"MAX3", SkinEntryKind::Picture, "maximise button, hover"},
    {"RES1", SkinEntryKind::Picture, "restore button, normal"},
    {"RES2", SkinEntryKind::Picture, "restore button, hover"},
    {"RES3", SkinEntryKind::Picture, "restore button, pressed"},
    {"ONTOP1", SkinEntryKind::Picture, "stay-on-top button while the window is not on top"},
    {"ONTOP3", SkinEntryKind::Picture, "stay-on-top button while the window is on top"},
    {"XOFFSET", SkinEntryKind::Integer, "caption text left: text at XOFFSET + 17"},
    {"XOFFSET2", SkinEntryKind::Integer, "window icon left"},
    {"YOFFSET", SkinEntryKind::Integer, "caption text top; the icon's top is YOFFSET + 2"},
    {"FROMRIGHT", SkinEntryKind::Integer, "gap from the close button to the bar's right end"},
    {"FROMTOP", SkinEntryKind::Integer, "top of every button"},
    {"ICONSPACE", SkinEntryKind::Integer, "gap between neighbouring buttons"},
    {"FORECOLOR", SkinEntryKind::Colour, "caption text colour"},
    {"BackColor", SkinEntryKind::Colour, "caption background and caption text shadow colour"},
    {"PARENTBACKCOLOR", SkinEntryKind::Colour, "background of the owning window's client area"},
}};

// The property kind an entry of the given skin kind is stored as.
constexpr formats::PropertyKind StoredKind(SkinEntryKind kind) {
    switch (kind) {
    case SkinEntryKind::Picture:
        return formats::PropertyKind::Picture;
    case SkinEntryKind::Integer:
        return formats::PropertyKind::Int16;
    case SkinEntryKind::Colour:
        return formats::PropertyKind::Colour;
    }
    return formats::PropertyKind::Picture;
}

// The entry of that name (any letter case), or nullptr.
constexpr const SkinEntry* FindSkinEntry(std::string_view name) {
    for (const SkinEntry& entry : kSkinEntries) {
        if (entry.name.size() != name.size()) {
            continue;
        }
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i) {
            char a = entry.name[i];
            char b = name[i];
            if (a >= 'a' && a <= 'z') {
                a = static_cast<char>(a - 'a' + 'A');
            }
            if (b >= 'a' && b <= 'z') {
                b = static_cast<char>(b - 'a' + 'A');
            }
            same = a == b;
        }
        if (same) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace varnel
