// Test support: a TCP port on 127.0.0.1 that was free a moment ago (the system's choice for port
// 0); another program may take it first, so callers that host on it retry with a new one.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace voxatest {

inline uint16_t FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof sa;
    auto* any = reinterpret_cast<sockaddr*>(&sa);
    const bool bound = bind(fd, any, sizeof sa) == 0 && getsockname(fd, any, &length) == 0;
    close(fd);
    return bound ? ntohs(sa.sin_port) : 0;
}

} // namespace voxatest
