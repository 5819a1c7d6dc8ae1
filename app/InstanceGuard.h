#pragma once

#include <cstdint>

// One copy of Karvex per machine: the first process binds a TCP port on every local address
// and holds it until it ends. The socket is never listened on; only the bound port matters.
class InstanceGuard
{
public:
    static constexpr std::uint16_t kPort = 10382;

    explicit InstanceGuard(std::uint16_t port = kPort);
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    // True when the port is now held by this process; false when another process holds it
    // or no socket could be made.
    bool claim();
    void release();

private:
    std::uint16_t m_port;
    int m_socket = -1;
};
