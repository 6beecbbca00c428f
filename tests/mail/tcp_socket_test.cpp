// The TCP adapter on loopback, inside the test's own network namespace.
#include "platform/tcp.h"

#include <QElapsedTimer>
#include <QThread>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

int listenOn(unsigned short port, int backlog) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, backlog) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

// A listener whose queue is full drops new SYNs, so the attempt hangs: the
// adapter's bound ends it, not the system's.
TEST(TcpSocket, ConnectIsBounded) {
    Fd listener{listenOn(2525, 0)};
    ASSERT_GE(listener.fd, 0);
    platform::TcpSocket fillers[3];
    for (auto& f : fillers)
        f.connect("127.0.0.1", 2525, 200);
    platform::TcpSocket socket;
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(socket.connect("127.0.0.1", 2525, 700));
    EXPECT_GE(clock.elapsed(), 600);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_FALSE(socket.isOpen());
}

TEST(TcpSocket, ResolvesAndTimesOutFromLastData) {
    Fd listener{listenOn(2526, 4)};
    ASSERT_GE(listener.fd, 0);
    platform::TcpSocket socket;
    ASSERT_TRUE(socket.connect("localhost", 2526, 1000));
    Fd peer{::accept(listener.fd, nullptr, nullptr)};
    ASSERT_GE(peer.fd, 0);
    QByteArray in;
    EXPECT_EQ(socket.receive(in, 100), platform::TcpSocket::ReceiveStatus::Timeout);
    ASSERT_EQ(::send(peer.fd, "220 x\r\n", 7, 0), 7);
    EXPECT_EQ(socket.receive(in, 1000), platform::TcpSocket::ReceiveStatus::Data);
    EXPECT_EQ(in, QByteArray("220 x\r\n"));
    EXPECT_TRUE(socket.sendAll("EHLO me\r\n"));
    char buffer[16] = {};
    EXPECT_EQ(::recv(peer.fd, buffer, sizeof buffer, 0), 9);
    EXPECT_EQ(socket.bytesSent(), 9u);
    EXPECT_EQ(socket.bytesReceived(), 7u);
}

// Writing to a connection the peer has closed fails (EPIPE) instead of raising SIGPIPE,
// and the end of the stream is reported at once, again and again.
TEST(TcpSocket, PeerClosed) {
    Fd listener{listenOn(2527, 4)};
    ASSERT_GE(listener.fd, 0);
    platform::TcpSocket socket;
    ASSERT_TRUE(socket.connect("127.0.0.1", 2527, 1000));
    ::close(::accept(listener.fd, nullptr, nullptr));
    QByteArray in;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(socket.receive(in, 3000), platform::TcpSocket::ReceiveStatus::Closed);
    EXPECT_EQ(socket.receive(in, 3000), platform::TcpSocket::ReceiveStatus::Closed);
    EXPECT_LT(clock.elapsed(), 1000);
    bool failed = false;
    for (int i = 0; i < 20 && !failed; ++i) {
        failed = !socket.sendAll("QUIT\r\n");
        QThread::msleep(10);
    }
    EXPECT_TRUE(failed);
}

TEST(TcpSocket, UnresolvableAndRefused) {
    platform::TcpSocket socket;
    EXPECT_FALSE(socket.connect("", 25, 500));
    EXPECT_FALSE(socket.connect(QByteArray("127.0.0.1\0x", 11), 25, 500));
    EXPECT_FALSE(socket.connect("127.0.0.1", 2528, 500)); // nobody listens
    EXPECT_FALSE(socket.sendAll("x"));
}

TEST(TcpSocket, LocalFacts) {
    EXPECT_FALSE(platform::localHostName().isEmpty());
    const platform::LocalTime t = platform::localTime();
    EXPECT_GE(t.year, 2024);
    EXPECT_TRUE(t.month >= 1 && t.month <= 12 && t.weekday >= 0 && t.weekday <= 6);
    EXPECT_LE(std::abs(t.utcOffsetMinutes), 14 * 60);
}
