#pragma once
// The system's ICMP echo service and host-name resolver, for whole host lists.
//
// Error contract: nothing here throws or fails as a whole. Every entry of a
// list gets a verdict, answered or not; whatever goes wrong with one entry
// (unresolvable or empty name, a refused send, an ICMP error, silence) makes
// that entry "not answered". When no ICMP socket of either kind can be
// opened, the service reports EchoService::None and every entry is "not
// answered"; noServiceMessage() then tells the operator why and what to do.
//
// Timing: the requests of one list leave together, each with its own
// deadline of timeoutMs from the moment it was sent; a call returns once
// every entry has answered or passed its deadline. It blocks the calling
// thread and runs on it (name resolution uses a few short-lived helper
// threads and hands its results back before the requests are sent).

#include "platform/controls.h"

#include <QtGlobal>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace platform::echo {

// An IPv4 address in network byte order.
using Address = quint32;

enum class EchoService { Ping, Raw, None };

// The address of each host text: the text itself when it is an IPv4 address
// in dotted form (inet_aton forms), else the first IPv4 address its name
// resolves to, with surrounding blanks removed before resolving. Empty or
// unresolvable names give no address. Names are resolved concurrently, at
// most maxConcurrent at a time.
std::vector<std::optional<Address>> resolveHosts(const std::vector<Text>& hosts, int maxConcurrent = 32);

struct EchoResult {
    EchoService service = EchoService::None;
    std::vector<char> answered; // one per target, 1 when an echo reply matched in time
};

// One echo request (8-byte ICMP header, no payload, no IP options) to each
// target that has an address; entries without one are not answered.
EchoResult echoAll(const std::vector<std::optional<Address>>& targets, int timeoutMs);

// For the operator, when echoAll reported EchoService::None.
Text noServiceMessage();

// The seam the sweep uses; tests give it a fake.
class EchoChecker {
public:
    virtual ~EchoChecker() = default;
    // Resolves and checks every host of the list.
    virtual EchoResult checkHosts(const std::vector<Text>& hosts, int timeoutMs) = 0;
};

std::unique_ptr<EchoChecker> makeSystemEchoChecker();

} // namespace platform::echo
