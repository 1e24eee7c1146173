// Pings an X window as a window manager does to see whether its program
// still answers (_NET_WM_PING of the EWMH): GNOME and KDE offer to force-quit
// a program whose windows stop answering. Waits for the answer on the root
// window.
//   wm_ping <window id, decimal or 0x hex> <timeout ms>
// Exit 0 and the answer's latency in ms when answered in time, 1 otherwise.
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    xcb_atom_t a = XCB_ATOM_NONE;
    if (r != nullptr)
        a = r->atom;
    std::free(r);
    return a;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: wm_ping <window id> <timeout ms>\n");
        return 2;
    }
    const auto window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0));
    const long timeoutMs = std::strtol(argv[2], nullptr, 10);
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c) != 0) {
        std::fprintf(stderr, "wm_ping: no X display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    // Programs send the answer to the root window for the window manager
    // (substructure redirect) and for whoever listens to the root's own
    // structure events: this tool is one of the latter.
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t protocols = atom(c, "WM_PROTOCOLS");
    const xcb_atom_t ping = atom(c, "_NET_WM_PING");
    constexpr uint32_t kStamp = 0x5a5a1234;
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = window;
    ev.type = protocols;
    ev.data.data32[0] = ping;
    ev.data.data32[1] = kStamp;
    ev.data.data32[2] = window;
    xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ev));
    xcb_flush(c);

    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start)
            .count();
    };
    while (elapsed() < timeoutMs) {
        while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
            const bool answer = (e->response_type & 0x7f) == XCB_CLIENT_MESSAGE && [&] {
                const auto* m = reinterpret_cast<xcb_client_message_event_t*>(e);
                return m->type == protocols && m->data.data32[0] == ping &&
                       m->data.data32[1] == kStamp;
            }();
            std::free(e);
            if (answer) {
                std::printf("%lld\n", static_cast<long long>(elapsed()));
                xcb_disconnect(c);
                return 0;
            }
        }
        pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
        poll(&p, 1, 20);
    }
    xcb_disconnect(c);
    return 1;
}
