// Start-up to the first window on the screen: starts COMMAND and ends as soon
// as the X server reports that a top-level window was mapped. Waiting for the
// event itself, rather than polling for the window, keeps the figure exact
// enough to tell a program from a bare toolkit window.
//
//   map_wait COMMAND [ARGS...]      prints map_ms=..., kills COMMAND
//                                   exit 1: no window within 20 s
#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: map_wait COMMAND [ARGS...]\n");
        return 2;
    }
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "map_wait: no X display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    // Checked, so that the selection is in place before the command starts.
    if (xcb_generic_error_t* error = xcb_request_check(
            x, xcb_change_window_attributes_checked(x, root, XCB_CW_EVENT_MASK, &mask))) {
        std::free(error);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    pollfd watch{xcb_get_file_descriptor(x), POLLIN, 0};
    bool mapped = false;
    while (!mapped && std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(x)) {
            mapped = mapped || (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            std::free(event);
        }
        if (!mapped && (poll(&watch, 1, 100) < 0 || waitpid(child, nullptr, WNOHANG) == child))
            break;
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    xcb_disconnect(x);
    if (!mapped)
        return 1;
    std::printf("map_ms=%.1f\n", ms);
    return 0;
}
