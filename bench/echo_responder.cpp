// echo_responder SECONDS ADDRESS/PREFIX=DELAY_MS[s|q]...
//
// Answers echo requests to the given loopback ranges after a set delay, from
// the pinged address, for tests and benchmarks in a network namespace where
// the kernel itself has been told to stay silent (icmp_echo_ignore_all=1).
// A trailing "s" answers from the next address instead, a trailing "q" with
// the next sequence number: replies that must not count. Only 127.0.0.0/8 is
// served. Prints "ready" once listening; ends after SECONDS or on SIGTERM.

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <queue>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Rule {
    uint32_t net, mask; // host byte order
    int delayMs;
    char twist; // 0, 's' or 'q'
};

struct Reply {
    Clock::time_point due;
    uint32_t from, to; // network byte order
    std::vector<uint8_t> icmp;
    bool operator>(const Reply& o) const { return due > o.due; }
};

volatile std::sig_atomic_t g_stop = 0;

uint16_t checksum(const uint8_t* d, size_t n) {
    uint32_t s = 0;
    for (size_t i = 0; i + 1 < n; i += 2)
        s += uint32_t(d[i]) << 8 | d[i + 1];
    if (n & 1)
        s += uint32_t(d[n - 1]) << 8;
    while (s >> 16)
        s = (s & 0xFFFF) + (s >> 16);
    return htons(uint16_t(~s));
}

bool parseRule(const char* text, Rule& rule) {
    const std::string s(text);
    const auto slash = s.find('/'), eq = s.find('=');
    if (slash == std::string::npos || eq == std::string::npos || eq < slash)
        return false;
    in_addr a{};
    if (inet_pton(AF_INET, s.substr(0, slash).c_str(), &a) != 1)
        return false;
    const int prefix = std::atoi(s.substr(slash + 1, eq - slash - 1).c_str());
    if (prefix < 8 || prefix > 32)
        return false;
    rule.mask = prefix == 32 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> prefix);
    rule.net = ntohl(a.s_addr) & rule.mask;
    rule.delayMs = std::atoi(s.substr(eq + 1).c_str());
    rule.twist = s.back() == 's' || s.back() == 'q' ? s.back() : 0;
    return (rule.net >> 24) == 127 && rule.delayMs >= 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SECONDS ADDRESS/PREFIX=DELAY_MS...\n", argv[0]);
        return 2;
    }
    const int seconds = std::atoi(argv[1]);
    std::vector<Rule> rules;
    for (int i = 2; i < argc; ++i) {
        Rule r{};
        if (!parseRule(argv[i], r)) {
            std::fprintf(stderr, "bad rule (loopback ranges only): %s\n", argv[i]);
            return 2;
        }
        rules.push_back(r);
    }
    std::signal(SIGTERM, [](int) { g_stop = 1; });

    const int rx = socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK, IPPROTO_ICMP);
    const int tx = socket(AF_INET, SOCK_RAW, IPPROTO_RAW);
    if (rx < 0 || tx < 0) {
        std::perror("socket");
        return 1;
    }
    const uint32_t onlyRequests = ~(1u << ICMP_ECHO);
    setsockopt(rx, SOL_RAW, 1 /* ICMP_FILTER */, &onlyRequests, sizeof(onlyRequests));
    const int big = 64 << 20;
    setsockopt(rx, SOL_SOCKET, SO_RCVBUFFORCE, &big, sizeof(big));
    setsockopt(tx, SOL_SOCKET, SO_SNDBUFFORCE, &big, sizeof(big));
    std::printf("ready\n");
    std::fflush(stdout);

    std::priority_queue<Reply, std::vector<Reply>, std::greater<>> queue;
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    constexpr unsigned kBatch = 64;
    std::vector<uint8_t> bufs(kBatch * 256);
    mmsghdr msgs[kBatch];
    iovec iov[kBatch];
    while (!g_stop && Clock::now() < end) {
        int timeout = 50;
        if (!queue.empty()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(queue.top().due - Clock::now()).count();
            timeout = int(std::clamp<long long>(left, 0, 50));
        }
        pollfd p{rx, POLLIN, 0};
        poll(&p, 1, timeout);
        for (;;) {
            for (unsigned k = 0; k < kBatch; ++k) {
                iov[k] = {&bufs[k * 256], 256};
                msgs[k] = mmsghdr{};
                msgs[k].msg_hdr.msg_iov = &iov[k];
                msgs[k].msg_hdr.msg_iovlen = 1;
            }
            const int r = recvmmsg(rx, msgs, kBatch, MSG_DONTWAIT, nullptr);
            if (r <= 0)
                break;
            const auto now = Clock::now();
            for (int k = 0; k < r; ++k) {
                const uint8_t* d = &bufs[k * 256];
                const size_t n = std::min<size_t>(msgs[k].msg_len, 256);
                ip h;
                if (n < sizeof(h))
                    continue;
                std::memcpy(&h, d, sizeof(h));
                const size_t ihl = size_t(h.ip_hl) * 4;
                if (n < ihl + 8 || d[ihl] != ICMP_ECHO)
                    continue;
                const uint32_t dst = ntohl(h.ip_dst.s_addr);
                if ((ntohl(h.ip_src.s_addr) >> 24) != 127)
                    continue;
                for (const Rule& rule : rules)
                    if ((dst & rule.mask) == rule.net) {
                        const uint32_t from = rule.twist == 's' ? htonl(dst + 1) : h.ip_dst.s_addr;
                        Reply reply{now + std::chrono::milliseconds(rule.delayMs), from, h.ip_src.s_addr,
                                    std::vector<uint8_t>(d + ihl, d + n)};
                        reply.icmp[0] = ICMP_ECHOREPLY;
                        if (rule.twist == 'q')
                            reply.icmp[7] = uint8_t(reply.icmp[7] + 1);
                        reply.icmp[2] = reply.icmp[3] = 0;
                        const uint16_t c = checksum(reply.icmp.data(), reply.icmp.size());
                        std::memcpy(&reply.icmp[2], &c, 2);
                        queue.push(std::move(reply));
                        break;
                    }
            }
        }
        const auto now = Clock::now();
        while (!queue.empty() && queue.top().due <= now) {
            const Reply& r = queue.top();
            uint8_t packet[20 + 256];
            ip h{};
            h.ip_v = 4;
            h.ip_hl = 5;
            h.ip_ttl = 64;
            h.ip_p = IPPROTO_ICMP;
            h.ip_src.s_addr = r.from;
            h.ip_dst.s_addr = r.to;
            const size_t len = sizeof(h) + r.icmp.size();
            h.ip_len = htons(uint16_t(len));
            std::memcpy(packet, &h, sizeof(h));
            std::memcpy(packet + sizeof(h), r.icmp.data(), r.icmp.size());
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_addr.s_addr = r.to;
            while (sendto(tx, packet, len, 0, reinterpret_cast<const sockaddr*>(&to), sizeof(to)) < 0 &&
                   (errno == ENOBUFS || errno == EAGAIN || errno == EINTR))
                usleep(100);
            queue.pop();
        }
    }
    return 0;
}
