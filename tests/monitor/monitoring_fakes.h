#pragma once
// In-memory controls and a timer on a hand-driven clock, for the monitoring tests.

#include "platform/controls.h"

#include <QtGlobal>
#include <algorithm>
#include <vector>

namespace monitoring_test {

struct Clock {
    qint64 now = 0;
};

class FakeTextBox final : public platform::TextBox {
public:
    platform::Text text() const override { return m_text; }
    void setText(const platform::Text& text) override { m_text = text; }
    void setTextColour(quint32 bgr) override { colour = bgr; }
    quint32 colour = 0;

private:
    platform::Text m_text;
};

class FakeCheckBox final : public platform::CheckBox {
public:
    int checked() const override { return m_checked; }
    void setChecked(int checked) override { m_checked = checked != 0 ? 1 : 0; }

private:
    int m_checked = 0;
};

class FakeMessageBox final : public platform::MessageBox {
public:
    void show(const platform::Text& text) override { shown.push_back(text); }
    std::vector<platform::Text> shown;
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

struct FakeWindow {
    explicit FakeWindow(Clock& clock) : timer(clock) {
        controls.编辑框1 = &box1;
        controls.编辑框2 = &box2;
        controls.编辑框3 = &box3;
        controls.编辑框4 = &box4;
        controls.编辑框5 = &box5;
        controls.编辑框6 = &box6;
        controls.选择框1 = &check1;
        controls.时钟1 = &timer;
        controls.messageBox = &messageBox;
    }
    FakeTextBox box1, box2, box3, box4, box5, box6;
    FakeCheckBox check1;
    FakeTimer timer;
    FakeMessageBox messageBox;
    platform::Controls controls;
};

} // namespace monitoring_test
