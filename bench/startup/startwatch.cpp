// Starts a program and waits for its first top-level window to be mapped on
// the X server; prints the time from the start to the map in milliseconds, the
// program's process id and the processor time it had used when the map was
// reported (all its threads, milliseconds), then waits for the program to end.
//
//   startwatch [--timeout-ms N] PROGRAM [ARGS...]
//
// The window is recognised by its _NET_WM_PID, so nothing of the program has
// to change for the measurement. Menus and tooltips (override-redirect
// windows) do not count. Exit status: the program's, 3 when no window was
// mapped in time (the program is then killed), 2 on a set-up error.
#include <xcb/xcb.h>

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

double nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

// The window's _NET_WM_PID, or -1.
long windowPid(xcb_connection_t* c, xcb_window_t w, xcb_atom_t pidAtom) {
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        c, xcb_get_property(c, 0, w, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
    long pid = -1;
    if (r && r->format == 32 && xcb_get_property_value_length(r) == 4)
        pid = long(*static_cast<const uint32_t*>(xcb_get_property_value(r)));
    std::free(r);
    return pid;
}

// Processor time of every thread of the process so far, in milliseconds;
// schedstat counts finer than the clock ticks of stat.
double cpuMs(pid_t pid) {
    char dir[64];
    std::snprintf(dir, sizeof dir, "/proc/%ld/task", long(pid));
    DIR* d = opendir(dir);
    if (!d)
        return -1;
    double ns = 0;
    while (const dirent* e = readdir(d)) {
        if (e->d_name[0] == '.')
            continue;
        char path[sizeof dir + sizeof e->d_name + 16];
        std::snprintf(path, sizeof path, "%s/%s/schedstat", dir, e->d_name);
        if (FILE* f = std::fopen(path, "r")) {
            unsigned long long run = 0;
            if (std::fscanf(f, "%llu", &run) == 1)
                ns += double(run);
            std::fclose(f);
        }
    }
    closedir(d);
    return ns / 1e6;
}

int waitChild(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return 2;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

int main(int argc, char* argv[]) {
    int first = 1;
    double timeoutMs = 20000;
    if (argc > 2 && std::string_view(argv[1]) == "--timeout-ms") {
        timeoutMs = std::atof(argv[2]);
        first = 3;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: startwatch [--timeout-ms N] PROGRAM [ARGS...]\n");
        return 2;
    }

    int screenNo = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNo);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "startwatch: no X display\n");
        return 2;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNo; ++i)
        xcb_screen_next(&it);
    const xcb_window_t root = it.data->root;
    const xcb_atom_t pidAtom = atom(c, "_NET_WM_PID");
    // Every map of a child of the root (a top-level window without a window
    // manager, a frame with one) is reported from now on.
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_void_cookie_t ck = xcb_change_window_attributes_checked(c, root, XCB_CW_EVENT_MASK, &mask);
    if (xcb_generic_error_t* e = xcb_request_check(c, ck)) {
        std::free(e);
        std::fprintf(stderr, "startwatch: cannot watch the root window\n");
        return 2;
    }

    const double start = nowMs();
    const pid_t child = fork();
    if (child < 0)
        return 2;
    if (child == 0) {
        close(xcb_get_file_descriptor(c));
        execvp(argv[first], argv + first);
        std::fprintf(stderr, "startwatch: cannot run %s\n", argv[first]);
        _exit(127);
    }

    const int fd = xcb_get_file_descriptor(c);
    double mappedAt = -1;
    double cpuAtMap = -1;
    while (mappedAt < 0) {
        xcb_generic_event_t* ev = xcb_poll_for_event(c);
        if (!ev) {
            if (xcb_connection_has_error(c))
                break;
            const double left = start + timeoutMs - nowMs();
            if (left <= 0)
                break;
            // The program ended before showing anything.
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child) {
                std::fprintf(stderr, "startwatch: the program ended without a window\n");
                return WIFEXITED(status) ? (WEXITSTATUS(status) ? WEXITSTATUS(status) : 3) : 3;
            }
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, left < 50 ? int(left) + 1 : 50);
            continue;
        }
        const double at = nowMs();
        if ((ev->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            // Read before asking whose window it is: the program runs on
            // meanwhile.
            const double cpu = cpuMs(child);
            const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(ev);
            if (!map->override_redirect && windowPid(c, map->window, pidAtom) == long(child)) {
                mappedAt = at;
                cpuAtMap = cpu;
            }
        }
        std::free(ev);
    }
    xcb_disconnect(c);

    if (mappedAt < 0) {
        std::fprintf(stderr, "startwatch: no window mapped within %.0f ms\n", timeoutMs);
        kill(child, SIGKILL);
        waitChild(child);
        return 3;
    }
    std::printf("%.1f %ld %.1f\n", mappedAt - start, long(child), cpuAtMap);
    std::fflush(stdout);
    return waitChild(child);
}
