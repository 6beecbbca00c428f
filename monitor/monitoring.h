#pragma once
// Continuous monitoring: a sweep on every tick of 时钟1, and the one-shot mail.
//
// Errors: nothing here fails or throws. A mail that does not go out (the
// sender returns anything but 1) stays pending and is tried again after the
// sweep of every later tick; the sender reports its own failures.

#include "platform/controls.h"

#include <functional>

namespace monitor {

class Monitoring {
public:
    using Sweep = std::function<void()>;
    using SendMail = std::function<int(const platform::Text& body)>; // 1 when sent

    static constexpr int kPeriodMs = 3000;

    Monitoring(platform::Controls& controls, Sweep hostSweep, SendMail sendMonitorMail);

    void start(); // 按钮3 "循环监控"
    void stop();  // 按钮5 "停止监控"
    void tick();  // 时钟1

    int monitoringActive() const { return m_monitoringActive; }
    int mailPending() const { return m_mailPending; }

    // The mail for the fault list as it stands.
    static platform::Text AlertBody(const platform::Text& faultList);

private:
    platform::Controls& m_controls;
    Sweep m_hostSweep;
    SendMail m_sendMonitorMail;
    int m_monitoringActive = 0;
    int m_mailPending = 0;
};

} // namespace monitor
