// Raw HTTP over a real socket to 127.0.0.1: the exact bytes a test sends,
// and the answer's status, headers and body.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace trv::test {

struct HttpAnswer {
    int status = 0; // 0: no answer
    std::string head;
    std::string body;
    bool has(const std::string& headerLine) const {
        return head.find(headerLine) != std::string::npos;
    }
};

inline int connectLoopback(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    timeval tv{15, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    return fd;
}

// Sends the bytes and reads until the server closes (requests ask for it).
inline HttpAnswer rawHttp(int port, const std::string& request) {
    HttpAnswer a;
    const int fd = connectLoopback(port);
    if (fd < 0) return a;
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string all;
    char buf[4096];
    for (ssize_t n; (n = ::recv(fd, buf, sizeof buf, 0)) > 0;)
        all.append(buf, static_cast<size_t>(n));
    ::close(fd);
    const size_t end = all.find("\r\n\r\n");
    if (all.rfind("HTTP/1.1 ", 0) != 0 || end == std::string::npos) return a;
    a.status = std::stoi(all.substr(9, 3));
    a.head = all.substr(0, end + 2);
    a.body = all.substr(end + 4);
    return a;
}

inline HttpAnswer get(int port, const std::string& target, const std::string& extra = "",
                      const std::string& method = "GET") {
    return rawHttp(port, method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra +
                             "Connection: close\r\n\r\n");
}

} // namespace trv::test
