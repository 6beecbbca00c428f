#pragma once
// In-memory controls and a timer on a hand-driven clock, for the monitoring tests.

#include "tests/support/fake_controls.h"

#include <QtGlobal>
#include <algorithm>
#include <vector>

namespace monitoring_test {

struct Clock {
    qint64 now = 0;
};

// Follows the three period rules of platform::Timer. Time only moves when the
// test says so, or when a tick handler moves the clock (a sweep taking time).
class FakeTimer final : public platform::Timer {
public:
    explicit FakeTimer(Clock& clock) : m_clock(clock) {}

    void setPeriod(int ms) override {
        if (ms == m_period)
            return;
        m_period = ms;
        m_armed = ms > 0;
        if (m_armed)
            m_due = m_clock.now + ms;
    }
    int period() const override { return m_period; }

    // Delivers every tick that comes due up to `until`. A tick that came due
    // while an earlier one was still running is delivered as soon as it returns.
    void runUntil(qint64 until) {
        for (int guard = 0; m_armed && m_due <= until && guard < 100000; ++guard) {
            m_clock.now = std::max(m_clock.now, m_due);
            m_due += m_period;
            if (onTick)
                onTick();
        }
        m_clock.now = std::max(m_clock.now, until);
    }

private:
    Clock& m_clock;
    int m_period = 0;
    bool m_armed = false;
    qint64 m_due = 0;
};

struct FakeWindow : fakes::Window {
    explicit FakeWindow(Clock& clock) : timer(clock) { controls.时钟1 = &timer; }
    FakeTimer timer;
};

} // namespace monitoring_test
