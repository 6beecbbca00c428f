// SplitText, HostSweep and the single check over fake controls and a fake
// echo service.

#include "monitor/host_sweep.h"
#include "platform/codepage.h"
#include "tests/support/fake_controls.h"

#include <gtest/gtest.h>
#include <set>

namespace {

using platform::Text;
using platform::codepage::gbk;

struct SplitCase {
    const char* name;
    Text text;
    std::vector<Text> elements;
};

TEST(SplitText, Cases) {
    const Text ni = gbk(u8"你"); // 0xC4 0xE3
    const SplitCase cases[] = {
        {"empty", "", {}},
        {"one", "a", {"a"}},
        {"two", "a\r\nb", {"a", "b"}},
        {"trailing delimiter adds nothing", "a\r\nb\r\n", {"a", "b"}},
        {"blank line in between", "a\r\n\r\nb", {"a", "", "b"}},
        {"only the delimiter", "\r\n", {""}},
        {"two delimiters", "\r\n\r\n", {"", ""}},
        {"leading delimiter", "\r\na", {"", "a"}},
        {"lone CR and LF are text", "a\rb\nc", {"a\rb\nc"}},
        {"blanks kept", " a \r\n\tb", {" a ", "\tb"}},
        {"double-byte characters", ni + "\r\n" + ni, {ni, ni}},
        {"trail byte never starts a match", Text("\x81\r\n", 3), {Text("\x81\r\n", 3)}},
        {"lead byte at the end", Text("a\r\n\x81", 4), {"a", Text("\x81", 1)}},
        {"delimiter right after a character", Text("\x81\x40\r\nb", 5), {Text("\x81\x40", 2), "b"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(monitor::SplitText(c.text, "\r\n"), c.elements) << c.name;
    EXPECT_EQ(monitor::SplitText("a,,b", ","), (std::vector<Text>{"a", "", "b"}));
}

using FakeBox = fakes::TextBox;
using FakeMessageBox = fakes::MessageBox;

// Answers for the hosts in `up`, exactly as typed.
class FakeEcho : public platform::echo::EchoChecker {
public:
    platform::echo::EchoResult checkHosts(const std::vector<Text>& hosts, int timeoutMs) override {
        ++calls;
        lastTimeout = timeoutMs;
        platform::echo::EchoResult r;
        r.service = service;
        for (const Text& h : hosts)
            r.answered.push_back(service != platform::echo::EchoService::None && up.count(h) ? 1 : 0);
        return r;
    }
    std::set<Text> up;
    platform::echo::EchoService service = platform::echo::EchoService::Ping;
    int calls = 0;
    int lastTimeout = 0;
};

class SweepTest : public ::testing::Test {
protected:
    SweepTest() {
        controls.编辑框1 = &box1;
        controls.编辑框6 = &box6;
        controls.messageBox = &messages;
        auto fake = std::make_unique<FakeEcho>();
        echo = fake.get();
        sweeper = std::make_unique<monitor::Sweeper>(controls, std::move(fake));
    }
    FakeBox box1, box6;
    FakeMessageBox messages;
    platform::Controls controls;
    FakeEcho* echo;
    std::unique_ptr<monitor::Sweeper> sweeper;
};

struct FaultCase {
    const char* name;
    Text list;
    std::set<Text> up;
    Text faults;
};

TEST_F(SweepTest, FaultListInListOrderAsTyped) {
    const FaultCase cases[] = {
        {"all answer", "a\r\nb", {"a", "b"}, ""},
        {"silent ones in order", "a\r\nb\r\nc\r\nd", {"b"}, "a\r\nc\r\nd"},
        {"blank line is a faulty entry", "a\r\n\r\nb", {"a", "b"}, ""},
        {"blank entry after a fault", "x\r\n\r\na", {"a"}, "x\r\n"},
        {"blank entry heading the faults", "\r\nx\r\na", {"a"}, "x"},
        {"trailing line break adds no entry", "a\r\n", {"a"}, ""},
        {"duplicate listed twice", "x\r\na\r\nx", {"a"}, "x\r\nx"},
        {"surrounding blanks kept", " x \r\na", {"a"}, " x "},
        {"double-byte name", gbk(u8"主机一") + "\r\na", {"a"}, gbk(u8"主机一")},
    };
    for (const auto& c : cases) {
        box1.m_text = c.list;
        box6.m_text = "old";
        echo->up = c.up;
        sweeper->HostSweep();
        EXPECT_EQ(box6.text(), c.faults) << c.name;
        EXPECT_EQ(echo->lastTimeout, 1000);
    }
}

TEST_F(SweepTest, ColourRules) {
    box1.m_text = "a\r\nb";
    echo->up = {"a"};
    sweeper->HostSweep();
    EXPECT_EQ(box6.colour, platform::kRed);

    // A sweep without faults empties the list and leaves the colour alone.
    echo->up = {"a", "b"};
    const int colourWrites = box6.colourWrites;
    sweeper->HostSweep();
    EXPECT_EQ(box6.text(), "");
    EXPECT_EQ(box6.colour, platform::kRed);
    EXPECT_EQ(box6.colourWrites, colourWrites);

    // Only the single check shows the all-clear.
    sweeper->singleCheck();
    EXPECT_EQ(box6.text(), gbk(u8"所有主机正常"));
    EXPECT_EQ(box6.colour, platform::kGreen);

    echo->up = {};
    sweeper->singleCheck();
    EXPECT_EQ(box6.text(), "a\r\nb");
    EXPECT_EQ(box6.colour, platform::kRed);
}

TEST_F(SweepTest, EmptyListChecksNothingAndSingleCheckIsAllClear) {
    box6.m_text = "old";
    sweeper->singleCheck();
    EXPECT_EQ(echo->calls, 0);
    EXPECT_EQ(box6.text(), gbk(u8"所有主机正常"));
    EXPECT_EQ(box6.colour, platform::kGreen);
}

TEST_F(SweepTest, LongFaultListIsWrittenOnce) {
    Text list;
    for (int i = 0; i < 10000; ++i)
        list += "127.0." + Text::number(i / 256) + "." + Text::number(i % 256) + "\r\n";
    box1.m_text = list;
    sweeper->HostSweep();
    EXPECT_EQ(box6.writes, 2); // cleared, then the whole list
    EXPECT_EQ(box6.colourWrites, 1);
    list.chop(2);
    EXPECT_EQ(box6.text(), list);
}

TEST_F(SweepTest, NoEchoServiceIsToldOncePerRun) {
    echo->service = platform::echo::EchoService::None;
    box1.m_text = "a\r\nb";
    echo->up = {"a", "b"};
    sweeper->singleCheck();
    sweeper->HostSweep();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], platform::echo::noServiceMessage());
    EXPECT_EQ(box6.text(), "a\r\nb");
    EXPECT_EQ(box6.colour, platform::kRed);
}

} // namespace
