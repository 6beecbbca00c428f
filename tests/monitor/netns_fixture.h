#pragma once
// Helpers for tests that run inside the network namespace that
// tests/support/in_netns.sh made for them: they change that namespace's
// firewall and ICMP settings freely, and put them back after each test.

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <cstdlib>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

namespace netns {

inline void run(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

inline void nft(const std::string& rule) {
    run("nft '" + rule + "'");
}

inline void sysctl(const std::string& key, const std::string& value) {
    run("sysctl -qw " + key + "='" + value + "'");
}

inline void usePingSockets(bool on) {
    sysctl("net.ipv4.ping_group_range", on ? "0 2147483647" : "1 0");
}

class Fixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("HW_NETNS_NAME"))
            GTEST_SKIP() << "changes firewall and ICMP settings, so runs only inside a namespace of its own";
        reset();
        nft("add table ip hw");
        nft("add chain ip hw in { type filter hook input priority 0; }");
        nft("add chain ip hw out { type filter hook output priority 0; }");
    }
    void TearDown() override {
        if (!qEnvironmentVariableIsEmpty("HW_NETNS_NAME"))
            reset();
    }

private:
    static void reset() {
        run("nft flush ruleset");
        sysctl("net.ipv4.icmp_echo_ignore_all", "0");
        usePingSockets(true);
    }
};

// The delayed echo responder, for as long as the object lives.
class Responder {
public:
    explicit Responder(const QStringList& rules) {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(HW_ECHO_RESPONDER), QStringList{QStringLiteral("60")} + rules);
        const bool ready = m_process.waitForReadyRead(5000) && m_process.readLine().startsWith("ready");
        EXPECT_TRUE(ready) << "echo_responder did not start";
    }
    ~Responder() {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }

private:
    QProcess m_process;
};

// Takes a capability out of this thread's effective set (it stays
// permitted, so it comes back afterwards; programs it starts have it).
class WithoutCapability {
public:
    explicit WithoutCapability(int capability) : m_capability(capability) {
        EXPECT_TRUE(set(false)) << "capset failed";
    }
    ~WithoutCapability() { set(true); }

private:
    bool set(bool on) const {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2]{};
        if (syscall(SYS_capget, &header, data) != 0)
            return false;
        if (on)
            data[0].effective |= 1u << m_capability;
        else
            data[0].effective &= ~(1u << m_capability);
        return syscall(SYS_capset, &header, data) == 0;
    }
    int m_capability;
};

} // namespace netns
