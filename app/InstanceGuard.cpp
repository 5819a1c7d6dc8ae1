#include "InstanceGuard.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

InstanceGuard::InstanceGuard(std::uint16_t port)
    : m_port(port)
{ }

InstanceGuard::~InstanceGuard()
{
    release();
}

bool InstanceGuard::claim()
{
    if (m_socket >= 0)
        return true;
    // Close-on-exec: programs started from Karvex (the viewer opened for a capture) must not
    // inherit the port, or a restart would be refused while they run. No SO_REUSEADDR: the
    // bind itself is the test.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0)
        return false;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(m_port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return false;
    }
    m_socket = fd;
    return true;
}

void InstanceGuard::release()
{
    if (m_socket >= 0) {
        ::close(m_socket);
        m_socket = -1;
    }
}
