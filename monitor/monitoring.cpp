#include "monitor/monitoring.h"

#include "platform/codepage.h"

namespace monitor {

Monitoring::Monitoring(platform::Controls& controls, Sweep hostSweep, SendMail sendMonitorMail)
    : m_controls(controls), m_hostSweep(std::move(hostSweep)), m_sendMonitorMail(std::move(sendMonitorMail)) {}

platform::Text Monitoring::AlertBody(const platform::Text& faultList) {
    static const platform::Text heading = platform::codepage::gbk(u8"测试故障IP列表\r\n");
    static const platform::Text closing =
        platform::codepage::gbk(u8"\r\n\r\n未避免邮件发送过于频繁，已为您关闭邮件通知");
    return heading + faultList + closing;
}

// Writing the period it already has leaves a running countdown alone, so a
// second click, or a click after 按钮5 before the last tick, causes no gap.
void Monitoring::start() {
    m_controls.时钟1->setPeriod(kPeriodMs);
    m_monitoringActive = 1;
}

// The timer goes on: the tick that comes next still sweeps, and does not re-arm.
void Monitoring::stop() {
    m_monitoringActive = 0;
}

void Monitoring::tick() {
    if (m_controls.选择框1->checked() == 1)
        m_mailPending = 1;
    m_controls.时钟1->setPeriod(0);
    m_hostSweep();
    // Re-armed before the mail, so that the countdown runs while it is sent.
    if (m_monitoringActive == 1)
        m_controls.时钟1->setPeriod(kPeriodMs);
    if (m_mailPending == 1) {
        if (m_sendMonitorMail(AlertBody(m_controls.编辑框6->text())) == 1) {
            m_mailPending = 0;
            m_controls.选择框1->setChecked(0);
        }
    }
}

} // namespace monitor
