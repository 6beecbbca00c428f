// Linked into every test here that opens sockets: they listen on loopback
// ports such as 25 and must do so only inside the namespace that
// tests/support/in_netns.sh made for them.
#include <QtGlobal>
#include <gtest/gtest.h>

namespace {

class NetnsOnly : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("HW_NETNS_NAME"))
            GTEST_SKIP() << "not inside a network namespace of its own; run it through ctest";
    }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new NetnsOnly);

} // namespace
