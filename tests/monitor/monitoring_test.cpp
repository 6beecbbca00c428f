// The monitoring state table and the one-shot mail, on a hand-driven clock.

#include "monitor/host_sweep.h"
#include "monitor/monitoring.h"
#include "platform/codepage.h"
#include "tests/monitor/monitoring_fakes.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

using monitoring_test::Clock;
using monitoring_test::FakeWindow;
using platform::Text;
using platform::codepage::gbk;

namespace {

Text body(const char8_t* faultList) {
    return gbk(u8"测试故障IP列表\r\n") + gbk(faultList) + gbk(u8"\r\n\r\n未避免邮件发送过于频繁，已为您关闭邮件通知");
}

// The window, the monitoring, and a sweep and a mail sender that record what
// they were asked to do. A sweep takes 400 ms and rewrites 编辑框6 as the real
// one does; a mail takes no time unless told, and succeeds unless told.
struct Rig {
    Clock clock;
    FakeWindow w{clock};
    qint64 sweepMs = 400;
    qint64 mailMs = 0;
    std::deque<int> mailResults;
    std::function<Text(int sweepNo)> faults = [](int) { return Text(); };

    struct Sweep {
        qint64 at;
        int period;
    };
    struct Mail {
        qint64 at;
        Text body;
        int period;
    };
    std::vector<Sweep> sweeps;
    std::vector<Mail> mails;

    monitor::Monitoring mon{w.controls, [this] { sweep(); }, [this](const Text& b) { return send(b); }};

    Rig() {
        w.timer.onTick = [this] { mon.tick(); };
    }

    void sweep() {
        sweeps.push_back({clock.now, w.timer.period()});
        w.box6.setText(faults(int(sweeps.size())));
        clock.now += sweepMs;
    }
    int send(const Text& b) {
        mails.push_back({clock.now, b, w.timer.period()});
        clock.now += mailMs;
        if (mailResults.empty())
            return 1;
        const int r = mailResults.front();
        mailResults.pop_front();
        return r;
    }

    void at(qint64 t) { w.timer.runUntil(t); }

    std::string state() const {
        const int p = w.timer.period(), a = mon.monitoringActive();
        if (p == 0 && a == 0)
            return "Idle";
        if (p == 3000 && a == 1)
            return "Armed";
        if (p == 3000 && a == 0)
            return "Draining";
        return "period " + std::to_string(p) + ", active " + std::to_string(a);
    }
    std::vector<qint64> sweepTimes() const {
        std::vector<qint64> t;
        for (const auto& s : sweeps)
            t.push_back(s.at);
        return t;
    }
};

struct Step {
    qint64 at;
    char button; // '3' start, '5' stop
};

struct TransitionCase {
    const char* name;
    std::vector<Step> steps;
    const char* stateAfterSteps;
    std::vector<qint64> sweepsBy10s;
    const char* stateAt10s;
};

TEST(MonitoringStateTable, Transitions) {
    const TransitionCase cases[] = {
        {"idle, 按钮5: stays idle", {{0, '5'}}, "Idle", {}, "Idle"},
        {"idle, 按钮3: armed, first tick a full period later, the next a period after each re-arm",
         {{0, '3'}},
         "Armed",
         {3000, 6400, 9800},
         "Armed"},
        {"armed, 按钮3 before and between ticks: the countdown goes on",
         {{0, '3'}, {2500, '3'}, {5000, '3'}},
         "Armed",
         {3000, 6400, 9800},
         "Armed"},
        {"armed, 按钮5: draining, one more full tick, then idle", {{0, '3'}, {1000, '5'}}, "Draining", {3000}, "Idle"},
        {"armed, 按钮5 after some ticks", {{0, '3'}, {4000, '5'}}, "Draining", {3000, 6400}, "Idle"},
        {"draining, 按钮3 before the tick: armed without a gap",
         {{0, '3'}, {1000, '5'}, {2000, '3'}},
         "Armed",
         {3000, 6400, 9800},
         "Armed"},
        {"draining, 按钮5: stays draining", {{0, '3'}, {1000, '5'}, {2000, '5'}}, "Draining", {3000}, "Idle"},
        {"idle again, 按钮3: a fresh countdown", {{0, '3'}, {1000, '5'}, {5000, '3'}}, "Armed", {3000, 8000}, "Armed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        for (const Step& s : c.steps) {
            r.at(s.at);
            s.button == '3' ? r.mon.start() : r.mon.stop();
        }
        EXPECT_EQ(r.state(), c.stateAfterSteps);
        r.at(10000);
        EXPECT_EQ(r.sweepTimes(), c.sweepsBy10s);
        EXPECT_EQ(r.state(), c.stateAt10s);
        for (const auto& s : r.sweeps)
            EXPECT_EQ(s.period, 0) << "the timer runs during the sweep at " << s.at;
        EXPECT_TRUE(r.mails.empty());
    }
}

TEST(MonitoringStateTable, TheTimerIsReArmedBeforeTheMailSoASlowMailBringsTheNextTickForward) {
    Rig r;
    r.mailMs = 5000;
    r.w.check1.setChecked(1);
    r.mon.start();
    r.at(12000);
    ASSERT_EQ(r.mails.size(), 1u);
    EXPECT_EQ(r.mails[0].at, 3400);
    EXPECT_EQ(r.mails[0].period, 3000);
    // Due at 6400 while the mail was on its way: runs as soon as the tick returned at 8400.
    EXPECT_EQ(r.sweepTimes(), (std::vector<qint64>{3000, 8400, 11800}));
}

TEST(MonitoringMail, OneMailWithTheFaultListAsTheSweepLeftItThenTheBoxIsUnchecked) {
    struct {
        const char* name;
        const char* faults;
        const char8_t* faultText;
    } cases[] = {
        {"faults", "127.0.0.2\r\n127.0.0.4", u8"127.0.0.2\r\n127.0.0.4"},
        {"no faults: the two fixed pieces alone", "", u8""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        r.w.box6.setText("left from an earlier check");
        r.faults = [&](int) { return Text(c.faults); };
        r.w.check1.setChecked(1);
        r.mon.start();
        r.at(3000);
        EXPECT_EQ(r.mon.mailPending(), 0);
        ASSERT_EQ(r.mails.size(), 1u);
        EXPECT_EQ(r.mails[0].at, 3400);
        EXPECT_EQ(r.mails[0].body, body(c.faultText));
        EXPECT_EQ(r.w.check1.checked(), 0);
        r.at(20000);
        EXPECT_EQ(r.mails.size(), 1u) << "no mail until the box is checked again";
        EXPECT_EQ(r.sweeps.size(), 6u);
        EXPECT_EQ(r.state(), "Armed");
    }
}

TEST(MonitoringMail, AFailedMailStaysPendingAndIsRetriedWithTheNewListOnEveryTick) {
    Rig r;
    r.mailResults = {0, 0, 1};
    r.faults = [](int n) { return "127.0.0." + QByteArray::number(n); };
    r.w.check1.setChecked(1);
    r.mon.start();
    r.at(3000);
    EXPECT_EQ(r.mon.mailPending(), 1);
    EXPECT_EQ(r.w.check1.checked(), 1);
    r.at(6400);
    EXPECT_EQ(r.mon.mailPending(), 1);
    EXPECT_EQ(r.w.check1.checked(), 1);
    r.at(9800);
    EXPECT_EQ(r.mon.mailPending(), 0);
    EXPECT_EQ(r.w.check1.checked(), 0);
    ASSERT_EQ(r.mails.size(), 3u);
    EXPECT_EQ(r.mails[0].body, body(u8"127.0.0.1"));
    EXPECT_EQ(r.mails[1].body, body(u8"127.0.0.2"));
    EXPECT_EQ(r.mails[2].body, body(u8"127.0.0.3"));
    r.at(20000);
    EXPECT_EQ(r.mails.size(), 3u);
}

TEST(MonitoringMail, APendingMailSurvivesStopAndGoesOutAfterTheNextStart) {
    Rig r;
    r.mailResults = {0};
    r.w.check1.setChecked(1);
    r.mon.start();
    r.at(1000);
    r.mon.stop();
    r.at(3000);
    ASSERT_EQ(r.mails.size(), 1u);
    EXPECT_EQ(r.mails[0].period, 0) << "the draining tick does not re-arm";
    EXPECT_EQ(r.state(), "Idle");
    EXPECT_EQ(r.mon.mailPending(), 1);
    EXPECT_EQ(r.w.check1.checked(), 1);
    r.at(30000);
    EXPECT_EQ(r.mails.size(), 1u);
    EXPECT_EQ(r.sweeps.size(), 1u);
    r.mon.start();
    r.at(33000);
    ASSERT_EQ(r.mails.size(), 2u);
    EXPECT_EQ(r.mails[1].at, 33400);
    EXPECT_EQ(r.mon.mailPending(), 0);
    EXPECT_EQ(r.w.check1.checked(), 0);
}

TEST(MonitoringMail, UncheckingTheBoxByHandDoesNotCancelAPendingMail) {
    Rig r;
    r.mailResults = {0};
    r.w.check1.setChecked(1);
    r.mon.start();
    r.at(4000);
    ASSERT_EQ(r.mon.mailPending(), 1);
    r.w.check1.setChecked(0);
    r.at(6400);
    ASSERT_EQ(r.mails.size(), 2u);
    EXPECT_EQ(r.mon.mailPending(), 0);
    EXPECT_EQ(r.w.check1.checked(), 0);
    r.at(20000);
    EXPECT_EQ(r.mails.size(), 2u);
}

TEST(MonitoringMail, CheckingTheBoxTakesEffectAtTheNextTickOnly) {
    Rig r;
    r.w.check1.setChecked(1); // while stopped
    r.at(10000);
    EXPECT_EQ(r.mon.mailPending(), 0);
    EXPECT_TRUE(r.mails.empty());
    r.mon.start();
    r.at(13000);
    ASSERT_EQ(r.mails.size(), 1u);
    EXPECT_EQ(r.mails[0].at, 13400);

    r.w.check1.setChecked(1); // while armed, between ticks
    EXPECT_EQ(r.mon.mailPending(), 0);
    r.at(16399);
    EXPECT_EQ(r.mails.size(), 1u);
    r.at(16400);
    ASSERT_EQ(r.mails.size(), 2u);
    EXPECT_EQ(r.mails[1].at, 16800);
}

// With the real sweep over an empty list, which sends nothing.
TEST(MonitoringMail, ASingleCheckBetweenTicksTouchesNeitherTheFlagsNorTheTimer) {
    Clock clock;
    FakeWindow w{clock};
    monitor::Sweeper sweeper(w.controls);
    std::vector<Text> mails;
    monitor::Monitoring mon(
        w.controls, [&] { sweeper.HostSweep(); },
        [&](const Text& b) {
            mails.push_back(b);
            return 1;
        });
    w.timer.onTick = [&] { mon.tick(); };

    mon.start();
    w.timer.runUntil(1000);
    w.check1.setChecked(1);
    w.timer.runUntil(1500);
    sweeper.singleCheck();
    EXPECT_EQ(w.box6.text(), gbk(u8"所有主机正常"));
    EXPECT_EQ(w.box6.colour, platform::kGreen);
    EXPECT_EQ(mon.mailPending(), 0);
    EXPECT_EQ(mon.monitoringActive(), 1);
    EXPECT_EQ(w.timer.period(), 3000);
    EXPECT_TRUE(mails.empty());

    w.timer.runUntil(2999);
    EXPECT_TRUE(mails.empty()) << "the single check must not postpone or bring forward the tick";
    w.timer.runUntil(3000);
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0], body(u8""));
    EXPECT_EQ(w.box6.text(), Text()) << "a tick has no all-clear step";
    EXPECT_EQ(w.box6.colour, platform::kGreen) << "and leaves the colour as it was";
}

} // namespace
