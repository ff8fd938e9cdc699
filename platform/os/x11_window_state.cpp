#include "platform/os/x11_window_state.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace varnel::platform {

namespace {

// Interns an X atom; 0 when the server does not answer.
xcb_atom_t InternAtom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (reply == nullptr) {
        return 0;
    }
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

} // namespace

void SendNetWmState(void* connectionHandle, std::uint32_t window, const char* atomName, bool on) {
    auto* connection = static_cast<xcb_connection_t*>(connectionHandle);
    if (connection == nullptr || atomName == nullptr) {
        return;
    }
    const xcb_atom_t state = InternAtom(connection, "_NET_WM_STATE");
    const xcb_atom_t atom = InternAtom(connection, atomName);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (state == 0 || atom == 0 || screen == nullptr) {
        return;
    }
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = state;
    message.data.data32[0] = on ? 1 : 0; // _NET_WM_STATE_ADD / _REMOVE
    message.data.data32[1] = atom;
    message.data.data32[3] = 1; // from a normal application
    xcb_send_event(connection, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
}

} // namespace varnel::platform
