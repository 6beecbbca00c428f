// The echo facility against the loopback range of a network namespace of the
// test's own (tests/support/in_netns.sh): silence, refused sends and ICMP
// errors are made with nftables, late replies with echo_responder, and the
// two socket kinds are switched with net.ipv4.ping_group_range.

#include "platform/echo.h"
#include "tests/monitor/netns_fixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryFile>
#include <algorithm>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace netns;

using platform::echo::Address;
using platform::echo::EchoService;
using Targets = std::vector<std::optional<Address>>;

Address ip(const char* dotted) {
    return inet_addr(dotted);
}

std::vector<int> verdicts(const platform::echo::EchoResult& r) {
    return {r.answered.begin(), r.answered.end()};
}

class EchoTest : public netns::Fixture, public ::testing::WithParamInterface<EchoService> {
protected:
    void SetUp() override {
        netns::Fixture::SetUp();
        if (IsSkipped())
            return;
        usePingSockets(GetParam() == EchoService::Ping);
    }

    platform::echo::EchoResult echo(const Targets& targets) {
        auto r = platform::echo::echoAll(targets, 1000);
        EXPECT_EQ(r.service, GetParam());
        return r;
    }
};

TEST_P(EchoTest, AnswersSilenceRefusalsAndErrors) {
    nft("add rule ip hw in ip daddr 127.0.2.0/24 icmp type echo-request drop");
    nft("add rule ip hw out ip daddr 127.0.3.0/24 icmp type echo-request drop");
    nft("add rule ip hw in ip daddr 127.0.4.0/24 icmp type echo-request reject with icmp type host-unreachable");
    const Targets targets{ip("127.0.0.1"), ip("127.0.2.1"), ip("127.0.3.1"), ip("127.0.4.1"),
                          std::nullopt,    ip("127.0.0.1"), ip("127.0.2.1"), ip("127.9.9.9")};
    EXPECT_EQ(verdicts(echo(targets)), (std::vector<int>{1, 0, 0, 0, 0, 1, 0, 1}));
}

TEST_P(EchoTest, ErrorsAndRefusalsSettleWithoutWaitingForTheTimeout) {
    nft("add rule ip hw out ip daddr 127.0.3.0/24 icmp type echo-request drop");
    nft("add rule ip hw in ip daddr 127.0.4.0/24 icmp type echo-request reject with icmp type host-unreachable");
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(verdicts(echo({ip("127.0.3.1"), ip("127.0.4.1"), ip("127.0.0.1")})), (std::vector<int>{0, 0, 1}));
    EXPECT_LT(clock.elapsed(), 800) << "an ICMP error or a refused send was left to time out";
}

TEST_P(EchoTest, LateAndForeignReplies) {
    sysctl("net.ipv4.icmp_echo_ignore_all", "1");
    Responder responder(QStringList{QStringLiteral("127.0.5.0/24=700"), QStringLiteral("127.0.6.0/24=1300"),
                                    QStringLiteral("127.0.7.0/24=50s"), QStringLiteral("127.0.8.0/24=50q")});
    const Targets targets{ip("127.0.5.1"), ip("127.0.6.1"), ip("127.0.7.1"), ip("127.0.8.1"), ip("127.0.5.2")};
    EXPECT_EQ(verdicts(echo(targets)), (std::vector<int>{1, 0, 0, 0, 1}));
}

TEST_P(EchoTest, ManyHostsHalfSilentBeyondOneSequenceSpace) {
    // 70,000 requests: more than one identifier's sequence numbers can tell
    // apart; the addresses repeat after 65,536, half of them silent.
    nft("add rule ip hw in ip daddr 127.2.0.0/17 icmp type echo-request drop");
    Targets targets;
    std::vector<int> expected;
    for (uint32_t i = 0; i < 70000; ++i) {
        const uint32_t host = 0x7F020000u | (i & 0xFFFF);
        targets.push_back(htonl(host));
        expected.push_back((host & 0x8000) ? 1 : 0);
    }
    const auto got = verdicts(echo(targets));
    ASSERT_EQ(got.size(), expected.size());
    size_t wrong = 0;
    for (size_t i = 0; i < got.size(); ++i)
        wrong += got[i] != expected[i];
    EXPECT_EQ(wrong, 0u);
}

TEST_P(EchoTest, LateBurstIntoAnUnforcedReceiveBuffer) {
    // Without CAP_NET_ADMIN the receive buffer is only what net.core.rmem_max
    // allows; 10,000 replies that come back together 200 ms late must fit.
    sysctl("net.ipv4.icmp_echo_ignore_all", "1");
    Responder responder(QStringList{QStringLiteral("127.3.0.0/16=200")});
    Targets targets;
    for (uint32_t i = 0; i < 10000; ++i)
        targets.push_back(htonl(0x7F030000u + i));
    WithoutCapability noAdmin(CAP_NET_ADMIN);
    const auto got = verdicts(echo(targets));
    EXPECT_EQ(std::count(got.begin(), got.end(), 1), 10000);
}

INSTANTIATE_TEST_SUITE_P(SocketKinds, EchoTest, ::testing::Values(EchoService::Ping, EchoService::Raw),
                         [](const auto& p) { return p.param == EchoService::Ping ? "Ping" : "Raw"; });

class NoEchoServiceTest : public netns::Fixture {};

TEST_F(NoEchoServiceTest, NeitherSocketKindGivesNoServiceAndNoAnswers) {
    usePingSockets(false);
    netns::WithoutCapability noRaw(CAP_NET_RAW);
    const auto r = platform::echo::echoAll({ip("127.0.0.1"), std::nullopt}, 1000);
    EXPECT_EQ(r.service, EchoService::None);
    EXPECT_EQ(verdicts(r), (std::vector<int>{0, 0}));
    EXPECT_FALSE(platform::echo::noServiceMessage().isEmpty());
}

TEST(ResolveHosts, AddressesNamesBlanksAndFailures) {
    if (qEnvironmentVariableIsEmpty("HW_NETNS_NAME"))
        GTEST_SKIP() << "looks names up only inside a namespace of its own";
    // A label over 63 bytes cannot be put into a query, so nothing is sent.
    const platform::Text tooLong = platform::Text(70, 'x') + ".example";
    const std::vector<platform::Text> hosts{
        "127.0.0.2", " \t127.0.0.3  ", "localhost",  "",          "   ",
        tooLong,     "127.1",          "0x7f.0.0.4", "localhost", platform::Text("127.0.0.5\0x", 11)};
    const auto got = platform::echo::resolveHosts(hosts);
    const std::vector<std::optional<Address>> expected{
        ip("127.0.0.2"), ip("127.0.0.3"), ip("127.0.0.1"), std::nullopt,    std::nullopt,
        std::nullopt,    ip("127.0.0.1"), ip("127.0.0.4"), ip("127.0.0.1"), std::nullopt};
    EXPECT_EQ(got, expected);
}

// Names whose resolver never answers: looked up together, they cost about
// one resolver timeout (1 s here), not one per name. The lookups run in a
// child with a resolv.conf of its own that points at a silent server on
// 127.0.0.1.
TEST(ResolveHosts, SilentResolverCostsAboutOneTimeoutForManyNames) {
    if (qEnvironmentVariableIsSet("HW_SWEEP_RESOLVER_CHILD")) {
        std::vector<platform::Text> names;
        for (int i = 0; i < 16; ++i)
            names.push_back("host" + platform::Text::number(i) + ".example");
        QElapsedTimer clock;
        clock.start();
        const auto got = platform::echo::resolveHosts(names);
        EXPECT_EQ(got, std::vector<std::optional<Address>>(names.size()));
        EXPECT_LT(clock.elapsed(), 6000) << "the names were looked up one after another";
        return;
    }
    if (qEnvironmentVariableIsEmpty("HW_NETNS_NAME"))
        GTEST_SKIP() << "needs a namespace of its own";
    const int dns = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(53);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(dns, reinterpret_cast<const sockaddr*>(&at), sizeof(at)), 0);
    QTemporaryFile conf;
    ASSERT_TRUE(conf.open());
    conf.write("nameserver 127.0.0.1\noptions timeout:1 attempts:1\n");
    conf.flush();
    const std::string command = "HW_SWEEP_RESOLVER_CHILD=1 unshare -m --propagation private sh -c 'mount --bind " +
                                conf.fileName().toStdString() + " /etc/resolv.conf && exec \"$0\" " +
                                "--gtest_filter=ResolveHosts.SilentResolverCostsAboutOneTimeoutForManyNames' " +
                                QCoreApplication::applicationFilePath().toStdString();
    EXPECT_EQ(std::system(command.c_str()), 0);
    close(dns);
}

} // namespace
