#include "StartupDisplay.h"

#include <QElapsedTimer>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

StartupDisplay::StartupDisplay()
{
    m_name = qgetenv("DISPLAY");
    if (m_name.isEmpty() && !startXvfb())
        return;
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(m_name.constData(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    m_connection = connection;

    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_connection, screens.data->root, XCB_CW_EVENT_MASK, &mask);

    static const char pidName[] = "_NET_WM_PID";
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, sizeof pidName - 1, pidName), nullptr),
        &std::free);
    m_pidAtom = atom ? atom->atom : 0;
    xcb_flush(m_connection);
}

StartupDisplay::~StartupDisplay()
{
    if (m_connection)
        xcb_disconnect(m_connection);
    if (m_xvfbPid > 0) {
        ::kill(m_xvfbPid, SIGTERM);
        ::waitpid(m_xvfbPid, nullptr, 0);
    }
}

bool StartupDisplay::startXvfb()
{
    // Xvfb picks a free display number itself and writes it to the descriptor we give it.
    int fds[2];
    if (::pipe(fds) != 0)
        return false;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1600x1000x24", "-nolisten", "tcp",
            static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        return false;
    }
    m_xvfbPid = pid;
    char buffer[32] = {};
    ssize_t got = 0;
    pollfd wait { fds[0], POLLIN, 0 };
    while (got < ssize_t(sizeof buffer - 1) && ::poll(&wait, 1, 10000) > 0) {
        const ssize_t n = ::read(fds[0], buffer + got, sizeof buffer - 1 - got);
        if (n <= 0)
            break;
        got += n;
        if (buffer[got - 1] == '\n')
            break;
    }
    ::close(fds[0]);
    if (got == 0)
        return false;
    m_name = QByteArray(buffer, int(got)).trimmed();
    m_name.prepend(':');
    return true;
}

long long StartupDisplay::windowPid(unsigned int window)
{
    const xcb_get_property_cookie_t cookie
        = xcb_get_property(m_connection, 0, window, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(m_connection, cookie, nullptr), &std::free);
    if (!reply || xcb_get_property_value_length(reply.get()) != 4)
        return -1;
    return *static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
}

bool StartupDisplay::waitForWindowOf(long long pid, int timeoutMs, const std::function<bool()>& running)
{
    if (!m_connection)
        return false;
    QElapsedTimer clock;
    clock.start();
    pollfd wait { xcb_get_file_descriptor(m_connection), POLLIN, 0 };
    while (clock.elapsed() < timeoutMs) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
            bool ours = false;
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                ours = !map->override_redirect && windowPid(map->window) == pid;
            }
            std::free(event);
            if (ours)
                return true;
        }
        if (xcb_connection_has_error(m_connection) || !running())
            return false;
        ::poll(&wait, 1, 20);
    }
    return false;
}
