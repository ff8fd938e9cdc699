#include "platform/os/x11_window_hints.h"

#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace varnel::platform {

namespace {

// WM_HINTS: nine 32-bit fields, the flags first, the initial state third.
constexpr std::uint32_t kFieldCount = 9;
constexpr std::uint32_t kStateHint = 1u << 1;
constexpr std::uint32_t kNormalState = 1;
constexpr std::uint32_t kIconicState = 3;

} // namespace

void SetNormalInitialState(xcb_connection_t* connection, std::uint32_t window) {
    if (connection == nullptr || window == 0) {
        return;
    }
    const xcb_get_property_cookie_t cookie = xcb_get_property(
        connection, 0, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, kFieldCount);
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    if (!reply || reply->format != 32 || reply->type != XCB_ATOM_WM_HINTS ||
        xcb_get_property_value_length(reply.get()) < static_cast<int>(3 * sizeof(std::uint32_t))) {
        return;
    }
    const int length = xcb_get_property_value_length(reply.get());
    std::array<std::uint32_t, kFieldCount> hints{};
    const auto fields = std::min<std::size_t>(static_cast<std::size_t>(length) / 4, kFieldCount);
    std::memcpy(hints.data(), xcb_get_property_value(reply.get()), fields * 4);
    if ((hints[0] & kStateHint) == 0 || hints[2] != kIconicState) {
        return;
    }
    hints[2] = kNormalState;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_HINTS,
                        XCB_ATOM_WM_HINTS, 32, static_cast<std::uint32_t>(fields), hints.data());
    xcb_flush(connection);
}

} // namespace varnel::platform
