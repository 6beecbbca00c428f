// ICMP echo over Linux sockets: one datagram ("ping") socket per 65,536
// requests where net.ipv4.ping_group_range admits the process, else one raw
// socket. All requests of a list go out in batches while replies are read in
// between; each request has its own deadline from the moment it left.
//
// A reply counts only when it is an echo reply to one of this call's
// requests: the sequence number (and on a raw socket the identifier) names
// the request, and the source must be the address it was sent to. Whether it
// came in time is judged by the kernel's receive time stamp, so a late read
// never turns a timely reply into a fault. ICMP errors about a request come
// through IP_RECVERR on the socket's error queue and make it a fault.

#include "platform/echo.h"

#include "platform/codepage.h"
#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform::echo {
namespace {

constexpr size_t kSeqSpace = 65536;  // requests one identifier can tell apart
constexpr unsigned kBatch = 256;     // messages per sendmmsg/recvmmsg
constexpr int kIcmpFilter = 1;       // ICMP_FILTER of <linux/icmp.h>, at SOL_RAW
constexpr int kReplyTruesize = 1280; // receive-buffer charge of one small reply, with room to spare
constexpr int kMaxRcvbuf = 256 << 20;
constexpr int64_t kNs = 1000000000;

struct EchoHeader {
    uint8_t type;
    uint8_t code;
    uint16_t checksum;
    uint16_t id;
    uint16_t seq;
};
static_assert(sizeof(EchoHeader) == 8);

int64_t nowNs(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return int64_t(ts.tv_sec) * kNs + ts.tv_nsec;
}

uint16_t internetChecksum(const uint8_t* data, size_t len) {
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < len; i += 2)
        sum += uint32_t(data[i]) << 8 | data[i + 1];
    if (len & 1)
        sum += uint32_t(data[len - 1]) << 8;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return htons(uint16_t(~sum));
}

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            close(m_fd);
    }
    Fd(Fd&& o) noexcept : m_fd(o.m_fd) { o.m_fd = -1; }
    Fd& operator=(Fd&&) = delete;
    Fd(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Raw identifiers move on with every call, so that a late reply to an
// earlier sweep cannot pass for one of this sweep.
uint16_t nextRawIdentifier(size_t channels) {
    static uint16_t next = uint16_t(getpid() * 2654435761u >> 16);
    const uint16_t id = next;
    next = uint16_t(next + channels);
    return id;
}

void setFlag(int fd, int level, int name) {
    const int one = 1;
    setsockopt(fd, level, name, &one, sizeof(one));
}

// Room for `replies` replies: forced where permitted, else what rmem_max
// allows. Returns what the socket really got, in replies.
size_t sizeReceiveBuffer(int fd, size_t replies) {
    const int want = int(std::min<size_t>(replies * kReplyTruesize + 65536, kMaxRcvbuf));
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &want, sizeof(want)) != 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &want, sizeof(want));
    int got = 0;
    socklen_t len = sizeof(got);
    if (getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &got, &len) != 0 || got <= 0)
        got = 212992;
    return size_t(got) / kReplyTruesize;
}

Fd openPing() {
    Fd fd(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP));
    if (fd.get() < 0)
        return fd;
    sockaddr_in any{};
    any.sin_family = AF_INET;
    if (bind(fd.get(), reinterpret_cast<const sockaddr*>(&any), sizeof(any)) != 0)
        return Fd();
    return fd;
}

// The identifier the kernel gave a bound ping socket.
uint16_t pingIdentifier(int fd) {
    sockaddr_in self{};
    socklen_t len = sizeof(self);
    getsockname(fd, reinterpret_cast<sockaddr*>(&self), &len);
    return ntohs(self.sin_port);
}

Fd openRaw() {
    Fd fd(socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP));
    if (fd.get() < 0)
        return fd;
    const uint32_t onlyEchoReplies = ~(1u << ICMP_ECHOREPLY);
    setsockopt(fd.get(), SOL_RAW, kIcmpFilter, &onlyEchoReplies, sizeof(onlyEchoReplies));
    return fd;
}

class EchoRun {
public:
    EchoRun(const std::vector<std::optional<Address>>& targets, int timeoutMs)
        : m_targets(targets), m_timeoutNs(int64_t(std::max(timeoutMs, 0)) * 1000000) {
        for (size_t i = 0; i < targets.size(); ++i)
            if (targets[i])
                m_order.push_back(i);
        m_state.assign(m_order.size(), Unsent);
        m_sentMono.assign(m_order.size(), 0);
        m_sentReal.assign(m_order.size(), 0);
    }

    EchoResult run() {
        EchoResult result;
        result.answered.assign(m_targets.size(), 0);
        if (m_targets.empty() || !openSockets())
            return result;
        result.service = m_raw ? EchoService::Raw : EchoService::Ping;
        exchange();
        for (size_t p = 0; p < m_order.size(); ++p)
            if (m_state[p] == Answered)
                result.answered[m_order[p]] = 1;
        return result;
    }

private:
    enum State : uint8_t { Unsent, Sent, Answered, Failed };

    struct Channel {
        int fd;
        uint16_t id;
    };

    bool openSockets() {
        const size_t channels = std::max<size_t>(1, (m_order.size() + kSeqSpace - 1) / kSeqSpace);
        const size_t perChannel = std::min(m_order.size(), kSeqSpace);
        Fd first = openPing();
        if (first.get() >= 0) {
            m_fds.push_back(std::move(first));
            for (size_t c = 1; c < channels; ++c) {
                Fd more = openPing();
                if (more.get() < 0)
                    return false;
                m_fds.push_back(std::move(more));
            }
            for (const Fd& fd : m_fds)
                m_channels.push_back({fd.get(), pingIdentifier(fd.get())});
        } else {
            Fd raw = openRaw();
            if (raw.get() < 0)
                return false;
            m_raw = true;
            m_fds.push_back(std::move(raw));
            const uint16_t base = nextRawIdentifier(channels);
            for (size_t c = 0; c < channels; ++c)
                m_channels.push_back({m_fds[0].get(), uint16_t(base + c)});
        }
        m_capacity = SIZE_MAX;
        for (const Fd& fd : m_fds) {
            setFlag(fd.get(), SOL_IP, IP_RECVERR);
            setFlag(fd.get(), SOL_SOCKET, SO_TIMESTAMPNS);
            const size_t replies = m_raw ? m_order.size() : perChannel;
            m_capacity = std::min(m_capacity, sizeReceiveBuffer(fd.get(), replies));
        }
        return true;
    }

    // Sends everything, reading replies in between, then waits out the
    // deadlines. Bounded: no request waits longer than the timeout to leave,
    // and the wait after the last send ends with the last deadline.
    void exchange() {
        const int64_t start = nowNs(CLOCK_MONOTONIC);
        int64_t blockedSince = 0;
        while (m_next < m_order.size()) {
            const int64_t now = nowNs(CLOCK_MONOTONIC);
            if (!paceAllows(now - start)) {
                drain(false);
                waitForInput(1);
                continue;
            }
            const int r = sendBatch();
            if (r > 0) {
                blockedSince = 0;
            } else if (r < 0) {
                // The kernel has no room for now: read, wait a moment, retry.
                if (blockedSince == 0) {
                    blockedSince = now;
                } else if (now - blockedSince > m_timeoutNs) {
                    m_state[m_next++] = Failed;
                    blockedSince = 0;
                }
                drain(false);
                waitForInput(1);
                continue;
            }
            drain(false);
            expire(nowNs(CLOCK_MONOTONIC));
        }
        for (;;) {
            drain(true);
            const int64_t now = nowNs(CLOCK_MONOTONIC);
            expire(now);
            if (m_expired >= m_next)
                break;
            waitUntil(m_sentMono[m_expired] + m_timeoutNs - now);
        }
        drain(true); // a reply stamped in time may still sit in the queue
    }

    // Where the receive buffer is small, a burst of late replies must not
    // outrun it, even while this thread is kept off the processor for a
    // while: then sending is held to about one buffer per 50 ms.
    bool paceAllows(int64_t elapsedNs) const {
        if (m_capacity >= m_order.size())
            return true;
        const uint64_t capacity = std::max<size_t>(m_capacity, 1);
        const uint64_t allowed = std::max<uint64_t>(capacity / 2, 1) + uint64_t(elapsedNs / 50000000) * capacity;
        return m_next < allowed;
    }

    // Returns how many left, 0 after a send that failed for good (that
    // entry is a fault), -1 when the kernel asks to wait.
    int sendBatch() {
        const size_t channel = m_next / kSeqSpace;
        // A batch's immediate replies must fit the receive buffer until the next read.
        const size_t batch = std::clamp<size_t>(m_capacity / 2, 1, kBatch);
        const size_t end = std::min({m_order.size(), m_next + batch, (channel + 1) * kSeqSpace});
        const unsigned count = unsigned(end - m_next);
        for (unsigned k = 0; k < count; ++k) {
            const size_t p = m_next + k;
            EchoHeader& h = m_sendHeaders[k];
            h = EchoHeader{ICMP_ECHO, 0, 0, htons(m_channels[channel].id), htons(uint16_t(p % kSeqSpace))};
            h.checksum = internetChecksum(reinterpret_cast<const uint8_t*>(&h), sizeof(h));
            sockaddr_in& to = m_sendAddrs[k];
            to = sockaddr_in{};
            to.sin_family = AF_INET;
            to.sin_addr.s_addr = *m_targets[m_order[p]];
            m_sendIov[k] = {&h, sizeof(h)};
            m_sendMsgs[k] = mmsghdr{};
            m_sendMsgs[k].msg_hdr.msg_name = &to;
            m_sendMsgs[k].msg_hdr.msg_namelen = sizeof(to);
            m_sendMsgs[k].msg_hdr.msg_iov = &m_sendIov[k];
            m_sendMsgs[k].msg_hdr.msg_iovlen = 1;
        }
        const int r = sendmmsg(m_channels[channel].fd, m_sendMsgs, count, 0);
        if (r < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS || errno == EINTR)
                return -1;
            m_state[m_next++] = Failed; // refused for good: no route, dropped on output, ...
            return 0;
        }
        const int64_t mono = nowNs(CLOCK_MONOTONIC);
        const int64_t real = nowNs(CLOCK_REALTIME);
        for (int k = 0; k < r; ++k) {
            m_state[m_next] = Sent;
            m_sentMono[m_next] = mono;
            m_sentReal[m_next] = real;
            ++m_next;
        }
        return r;
    }

    void expire(int64_t now) {
        while (m_expired < m_next && (m_state[m_expired] != Sent || m_sentMono[m_expired] + m_timeoutNs <= now))
            ++m_expired;
    }

    void waitForInput(int timeoutMs) { waitUntil(int64_t(timeoutMs) * 1000000); }

    void waitUntil(int64_t leftNs) {
        std::vector<pollfd> fds;
        for (const Fd& fd : m_fds)
            fds.push_back({fd.get(), POLLIN, 0});
        leftNs = std::max<int64_t>(leftNs, 0);
        const timespec timeout{time_t(leftNs / kNs), long(leftNs % kNs)};
        ppoll(fds.data(), nfds_t(fds.size()), &timeout, nullptr);
    }

    // The error queue is read when a receive reports a pending error (the
    // kernel sets one with every queued ICMP error), and while waiting.
    void drain(bool errorsToo) {
        for (size_t c = 0; c < m_fds.size(); ++c)
            drainSocket(m_raw ? 0 : c, m_fds[c].get(), errorsToo);
    }

    void drainSocket(size_t channel, int fd, bool errorsToo) {
        for (unsigned k = 0; k < kBatch; ++k) {
            m_recvIov[k] = {m_recvData[k], sizeof(m_recvData[k])};
            m_recvMsgs[k] = mmsghdr{};
            m_recvMsgs[k].msg_hdr.msg_name = &m_recvAddrs[k];
            m_recvMsgs[k].msg_hdr.msg_namelen = sizeof(m_recvAddrs[k]);
            m_recvMsgs[k].msg_hdr.msg_iov = &m_recvIov[k];
            m_recvMsgs[k].msg_hdr.msg_iovlen = 1;
            m_recvMsgs[k].msg_hdr.msg_control = m_recvControl[k];
            m_recvMsgs[k].msg_hdr.msg_controllen = sizeof(m_recvControl[k]);
        }
        for (int errors = 0; errors < 4;) {
            const int r = recvmmsg(fd, m_recvMsgs, kBatch, MSG_DONTWAIT, nullptr);
            if (r < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK)
                    break;
                // A pending socket error (an ICMP error came in): its details
                // are on the error queue.
                ++errors;
                if (errno != EINTR)
                    drainErrors(channel, fd);
                continue;
            }
            for (int k = 0; k < r; ++k) {
                msghdr& m = m_recvMsgs[k].msg_hdr;
                takeReply(channel, m_recvData[k], m_recvMsgs[k].msg_len, m);
                m.msg_namelen = sizeof(m_recvAddrs[k]);
                m.msg_controllen = sizeof(m_recvControl[k]);
            }
            if (unsigned(r) < kBatch)
                break;
        }
        if (errorsToo)
            drainErrors(channel, fd);
    }

    static int64_t receiveTime(msghdr& m) {
        for (cmsghdr* c = CMSG_FIRSTHDR(&m); c; c = CMSG_NXTHDR(&m, c))
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS &&
                c->cmsg_len >= CMSG_LEN(sizeof(timespec))) {
                timespec ts;
                std::memcpy(&ts, CMSG_DATA(c), sizeof(ts));
                return int64_t(ts.tv_sec) * kNs + ts.tv_nsec;
            }
        return nowNs(CLOCK_REALTIME);
    }

    // The position of the request an echo header refers to, or npos.
    size_t position(size_t channel, const EchoHeader& h, Address peer) const {
        if (m_raw) {
            channel = uint16_t(ntohs(h.id) - m_channels[0].id);
            if (channel >= m_channels.size())
                return SIZE_MAX;
        }
        const size_t p = channel * kSeqSpace + ntohs(h.seq);
        if (p >= m_next || *m_targets[m_order[p]] != peer)
            return SIZE_MAX;
        return p;
    }

    void takeReply(size_t channel, const uint8_t* data, size_t len, msghdr& m) {
        EchoHeader h;
        Address peer;
        if (m_raw) {
            if (len < sizeof(ip) || (m.msg_flags & MSG_TRUNC))
                return;
            ip iph;
            std::memcpy(&iph, data, sizeof(iph));
            const size_t ihl = size_t(iph.ip_hl) * 4;
            if (iph.ip_p != IPPROTO_ICMP || ihl < sizeof(ip) || len < ihl + sizeof(h))
                return;
            if (internetChecksum(data + ihl, len - ihl) != 0)
                return;
            std::memcpy(&h, data + ihl, sizeof(h));
            peer = iph.ip_src.s_addr;
        } else {
            if (len < sizeof(h) || m.msg_namelen < sizeof(sockaddr_in))
                return;
            std::memcpy(&h, data, sizeof(h));
            peer = reinterpret_cast<const sockaddr_in*>(m.msg_name)->sin_addr.s_addr;
        }
        if (h.type != ICMP_ECHOREPLY || h.code != 0)
            return;
        const size_t p = position(channel, h, peer);
        if (p == SIZE_MAX || m_state[p] != Sent)
            return;
        if (receiveTime(m) - m_sentReal[p] <= m_timeoutNs)
            m_state[p] = Answered;
    }

    // ICMP errors about our requests (unreachable, time exceeded, ...).
    void drainErrors(size_t channel, int fd) {
        for (int guard = 0; guard < 1 << 20; ++guard) {
            uint8_t data[64];
            sockaddr_in from{};
            alignas(cmsghdr) uint8_t control[256];
            iovec iov{data, sizeof(data)};
            msghdr m{};
            m.msg_name = &from;
            m.msg_namelen = sizeof(from);
            m.msg_iov = &iov;
            m.msg_iovlen = 1;
            m.msg_control = control;
            m.msg_controllen = sizeof(control);
            const ssize_t r = recvmsg(fd, &m, MSG_ERRQUEUE | MSG_DONTWAIT);
            if (r < 0)
                return;
            bool icmp = false;
            for (cmsghdr* c = CMSG_FIRSTHDR(&m); c; c = CMSG_NXTHDR(&m, c))
                if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_RECVERR) {
                    sock_extended_err e;
                    std::memcpy(&e, CMSG_DATA(c), sizeof(e));
                    icmp = e.ee_origin == SO_EE_ORIGIN_ICMP;
                }
            if (!icmp || size_t(r) < sizeof(EchoHeader) || m.msg_namelen < sizeof(from))
                continue;
            EchoHeader h;
            std::memcpy(&h, data, sizeof(h));
            if (h.type != ICMP_ECHO)
                continue;
            const size_t p = position(channel, h, from.sin_addr.s_addr);
            if (p != SIZE_MAX && m_state[p] == Sent)
                m_state[p] = Failed;
        }
    }

    const std::vector<std::optional<Address>>& m_targets;
    const int64_t m_timeoutNs;
    std::vector<size_t> m_order; // send position -> target index
    std::vector<State> m_state;  // per send position
    std::vector<int64_t> m_sentMono, m_sentReal;
    size_t m_next = 0;    // first position not yet sent
    size_t m_expired = 0; // positions below are settled or past their deadline
    bool m_raw = false;
    size_t m_capacity = 0;
    std::vector<Fd> m_fds;
    std::vector<Channel> m_channels;

    EchoHeader m_sendHeaders[kBatch];
    sockaddr_in m_sendAddrs[kBatch];
    iovec m_sendIov[kBatch];
    mmsghdr m_sendMsgs[kBatch];
    uint8_t m_recvData[kBatch][128];
    sockaddr_in m_recvAddrs[kBatch];
    iovec m_recvIov[kBatch];
    alignas(cmsghdr) uint8_t m_recvControl[kBatch][64];
    mmsghdr m_recvMsgs[kBatch];
};

class SystemEchoChecker final : public EchoChecker {
public:
    EchoResult checkHosts(const std::vector<Text>& hosts, int timeoutMs) override {
        return echoAll(resolveHosts(hosts), timeoutMs);
    }
};

} // namespace

EchoResult echoAll(const std::vector<std::optional<Address>>& targets, int timeoutMs) {
    try {
        return std::make_unique<EchoRun>(targets, timeoutMs)->run();
    } catch (...) { // out of memory for a huge list
        EchoResult none;
        none.answered.assign(targets.size(), 0);
        return none;
    }
}

Text noServiceMessage() {
    QString program = QStringLiteral("程序文件");
    if (QCoreApplication::instance())
        program = QCoreApplication::applicationFilePath();
    return codepage::fromUnicode(
        QStringLiteral("无法发送ICMP回显请求：本程序既不能打开ICMP数据报套接字，也不能打开原始套接字，"
                       "所以每台主机都会显示为故障。\n"
                       "解决办法（任选其一，需要管理员权限）：\n"
                       "1. 允许用户的组使用ICMP数据报套接字：sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"\n"
                       "2. 给程序授予原始套接字权限：setcap cap_net_raw+ep ") +
        program);
}

std::unique_ptr<EchoChecker> makeSystemEchoChecker() {
    return std::make_unique<SystemEchoChecker>();
}

} // namespace platform::echo
