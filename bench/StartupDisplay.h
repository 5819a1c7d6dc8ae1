#pragma once

#include <QByteArray>

#include <functional>

struct xcb_connection_t;

// The X display that the start-up benchmark watches: $DISPLAY when set, otherwise a private
// Xvfb started for the run. It reports the moment a program's first top-level window is
// mapped, which is when the window system shows it.
class StartupDisplay
{
public:
    StartupDisplay();
    ~StartupDisplay();
    StartupDisplay(const StartupDisplay&) = delete;
    StartupDisplay& operator=(const StartupDisplay&) = delete;

    bool isOpen() const { return m_connection != nullptr; }
    QByteArray name() const { return m_name; }

    // Waits until a top-level window of process pid is mapped. False on timeout or when
    // running() turns false first.
    bool waitForWindowOf(long long pid, int timeoutMs, const std::function<bool()>& running);

private:
    bool startXvfb();
    long long windowPid(unsigned int window);

    QByteArray m_name;
    int m_xvfbPid = -1;
    xcb_connection_t* m_connection = nullptr;
    unsigned int m_pidAtom = 0;
};
