#pragma once
// Continuous monitoring: a sweep on every tick of 时钟1, and the one-shot mail.

#include "platform/controls.h"

#include <functional>

namespace monitor {

class Monitoring {
public:
    using Sweep = std::function<void()>;
    using SendMail = std::function<int(const platform::Text& body)>; // 1 when sent

    Monitoring(platform::Controls& controls, Sweep hostSweep, SendMail sendMonitorMail);

    void start(); // 按钮3 "循环监控"
    void stop();  // 按钮5 "停止监控"
    void tick();  // 时钟1

    int monitoringActive() const { return m_monitoringActive; }
    int mailPending() const { return m_mailPending; }

private:
    platform::Controls& m_controls;
    Sweep m_hostSweep;
    SendMail m_sendMonitorMail;
    int m_monitoringActive = 0;
    int m_mailPending = 0;
};

} // namespace monitor
