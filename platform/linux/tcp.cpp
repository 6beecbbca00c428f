#include "platform/tcp.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Writes have no timeout of their own in the callers' contract; a peer that
// stops reading must still not freeze the thread for ever.
constexpr int kSendTimeoutMs = 10000;

bool resolveIpv4(const Text& host, in_addr& out) {
    if (host.isEmpty() || host.contains('\0'))
        return false;
    if (inet_pton(AF_INET, host.constData(), &out) == 1)
        return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.constData(), nullptr, &hints, &found) != 0 || !found)
        return false;
    out = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}

int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

// Waits for the events on fd until the deadline; EINTR does not shorten the wait.
// Returns the revents, 0 on timeout, -1 on error.
int waitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, remainingMs(deadline));
        if (n > 0)
            return p.revents;
        if (n == 0)
            return 0;
        if (errno != EINTR)
            return -1;
    }
}

Clock::time_point deadlineAfter(int ms) {
    return Clock::now() + std::chrono::milliseconds(ms > 0 ? ms : 0);
}

} // namespace

TcpSocket::~TcpSocket() {
    close();
}

void TcpSocket::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_peerClosed = false;
}

bool TcpSocket::connect(const Text& host, quint16 port, int timeoutMs) {
    close();
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (!resolveIpv4(host, addr.sin_addr))
        return false;

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // The message goes out as its header block and then its body, with no reply
    // between them: without this the body waits for the server's delayed ACK.
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const auto deadline = deadlineAfter(timeoutMs);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) {
            ::close(fd);
            return false;
        }
        const int ready = waitFor(fd, POLLOUT, deadline);
        int error = 0;
        socklen_t len = sizeof error;
        if (ready <= 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
            ::close(fd);
            return false;
        }
    }
    m_fd = fd;
    m_peerClosed = false;
    return true;
}

bool TcpSocket::sendAll(QByteArrayView data) {
    if (m_fd < 0)
        return false;
    const auto deadline = deadlineAfter(kSendTimeoutMs);
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::send(m_fd, data.data() + done, size_t(data.size() - done), MSG_NOSIGNAL);
        if (n > 0) {
            done += n;
            m_bytesSent += quint64(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const int ready = waitFor(m_fd, POLLOUT, deadline);
            if (ready <= 0 || (ready & (POLLERR | POLLHUP | POLLNVAL)))
                return false;
            continue;
        }
        return false;
    }
    return true;
}

TcpSocket::ReceiveStatus TcpSocket::receive(QByteArray& out, int timeoutMs, qsizetype maxBytes) {
    if (m_fd < 0)
        return ReceiveStatus::Error;
    if (m_peerClosed)
        return ReceiveStatus::Closed;
    const auto deadline = deadlineAfter(timeoutMs);
    char buffer[4096];
    const size_t want = size_t(qBound<qsizetype>(1, maxBytes, qsizetype(sizeof buffer)));
    for (;;) {
        const int ready = waitFor(m_fd, POLLIN, deadline);
        if (ready == 0)
            return ReceiveStatus::Timeout;
        if (ready < 0 || (ready & POLLNVAL))
            return ReceiveStatus::Error;
        const ssize_t n = ::recv(m_fd, buffer, want, MSG_DONTWAIT);
        if (n > 0) {
            out.append(buffer, qsizetype(n));
            m_bytesReceived += quint64(n);
            return ReceiveStatus::Data;
        }
        if (n == 0) {
            m_peerClosed = true;
            return ReceiveStatus::Closed;
        }
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
            continue;
        // A reset is the end of the stream too.
        m_peerClosed = true;
        return ReceiveStatus::Closed;
    }
}

Text localHostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return Text("localhost");
    return Text(name);
}

LocalTime localTime() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.weekday = tm.tm_wday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.utcOffsetMinutes = int(tm.tm_gmtoff / 60);
    return t;
}

} // namespace platform
