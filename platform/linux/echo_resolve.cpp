#include "platform/echo.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <netdb.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unordered_map>

namespace platform::echo {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

QByteArray trimmed(const Text& host) {
    qsizetype begin = 0, end = host.size();
    while (begin < end && isBlank(host[begin]))
        ++begin;
    while (end > begin && isBlank(host[end - 1]))
        --end;
    return host.mid(begin, end - begin);
}

std::optional<Address> lookUp(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_RAW;
    addrinfo* list = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &list) != 0)
        return std::nullopt;
    std::optional<Address> found;
    for (const addrinfo* ai = list; ai && !found; ai = ai->ai_next)
        if (ai->ai_family == AF_INET && ai->ai_addr)
            found = reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(list);
    return found;
}

} // namespace

namespace {

std::vector<std::optional<Address>> resolve(const std::vector<Text>& hosts, int maxConcurrent) {
    std::vector<std::optional<Address>> out(hosts.size());
    // Each distinct name is looked up once; the lookups run on a small pool.
    std::unordered_map<std::string, std::vector<size_t>> pending;
    for (size_t i = 0; i < hosts.size(); ++i) {
        const QByteArray name = trimmed(hosts[i]);
        if (name.isEmpty() || name.contains('\0'))
            continue;
        in_addr a{};
        if (inet_aton(name.constData(), &a) != 0) {
            out[i] = a.s_addr;
            continue;
        }
        pending[name.toStdString()].push_back(i);
    }
    if (pending.empty())
        return out;

    std::vector<const std::string*> names;
    names.reserve(pending.size());
    for (const auto& entry : pending)
        names.push_back(&entry.first);
    std::vector<std::optional<Address>> found(names.size());
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t k; (k = next.fetch_add(1)) < names.size();)
            found[k] = lookUp(*names[k]);
    };
    // The calling thread is one of the workers.
    const size_t threads = std::min(names.size(), static_cast<size_t>(std::max(1, maxConcurrent))) - 1;
    std::vector<std::thread> pool;
    try {
        pool.reserve(threads);
        for (size_t t = 0; t < threads; ++t)
            pool.emplace_back(work);
    } catch (...) {
        // No thread to spare: what the pool has not taken is looked up here.
    }
    work();
    for (auto& t : pool)
        t.join();

    for (size_t k = 0; k < names.size(); ++k)
        for (size_t i : pending.at(*names[k]))
            out[i] = found[k];
    return out;
}

} // namespace

std::vector<std::optional<Address>> resolveHosts(const std::vector<Text>& hosts, int maxConcurrent) {
    try {
        return resolve(hosts, maxConcurrent);
    } catch (...) { // out of memory for a huge list: nothing resolved
        try {
            return std::vector<std::optional<Address>>(hosts.size());
        } catch (...) {
            return {};
        }
    }
}

} // namespace platform::echo
