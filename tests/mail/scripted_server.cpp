#include "scripted_server.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mailtest {

namespace {

using Clock = std::chrono::steady_clock;
// No test conversation takes this long; it bounds a server whose client never comes or never closes.
constexpr auto kLifetime = std::chrono::seconds(30);

// Reads what is there within ms; false at the end of the stream or on error.
bool readSome(int fd, QByteArray& record, int ms) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0)
        return true;
    char buffer[4096];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0)
        return false;
    record.append(buffer, n);
    return true;
}

} // namespace

ScriptedServer::ScriptedServer(std::vector<Script> scripts, unsigned short port)
    : m_scripts(std::move(scripts)), m_records(m_scripts.size()) {
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(m_listen, 8) != 0) {
        ::close(m_listen);
        m_listen = -1;
        return;
    }
    m_thread = std::thread([this] { run(); });
}

ScriptedServer::~ScriptedServer() {
    m_stop = true;
    finish();
    if (m_listen >= 0)
        ::close(m_listen);
}

void ScriptedServer::finish() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

QByteArray ScriptedServer::received(int connection) const {
    return m_records.at(size_t(connection));
}

void ScriptedServer::run() {
    const auto end = Clock::now() + kLifetime;
    for (size_t i = 0; i < m_scripts.size() && Clock::now() < end; ++i) {
        // Waits for the next client; once stopped, only one that is already queued.
        int fd = -1;
        while (fd < 0 && Clock::now() < end) {
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0)
                fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            else if (m_stop)
                break;
        }
        if (fd < 0)
            return;
        ++m_accepted;
        play(fd, m_scripts[i], m_records[i]);
        ::close(fd);
    }
}

void ScriptedServer::play(int fd, const Script& script, QByteArray& record) {
    const auto end = Clock::now() + kLifetime;
    qsizetype matched = 0; // bytes of record taken by earlier Expects
    bool inData = false;
    for (const Action& a : script) {
        switch (a.kind) {
        case Action::Send:
            ::send(fd, a.bytes.constData(), size_t(a.bytes.size()), MSG_NOSIGNAL);
            inData = a.bytes.startsWith("354");
            break;
        case Action::Trickle:
            for (char c : a.bytes) {
                ::send(fd, &c, 1, MSG_NOSIGNAL);
                std::this_thread::sleep_for(std::chrono::milliseconds(a.ms));
            }
            inData = a.bytes.startsWith("354");
            break;
        case Action::Pause:
            std::this_thread::sleep_for(std::chrono::milliseconds(a.ms));
            break;
        case Action::Close:
            return;
        case Action::Expect: {
            const QByteArray terminator = inData ? QByteArray("\r\n.\r\n") : QByteArray("\r\n");
            qsizetype at;
            while ((at = record.indexOf(terminator, matched)) < 0) {
                if (Clock::now() >= end || !readSome(fd, record, 50))
                    return;
            }
            matched = at + terminator.size();
            inData = false;
            break;
        }
        }
    }
    // The script is over: listen on in silence until the client goes.
    while (Clock::now() < end && readSome(fd, record, 50)) {
    }
}

} // namespace mailtest
