#include "monitor/monitoring.h"

namespace monitor {

Monitoring::Monitoring(platform::Controls& controls, Sweep hostSweep, SendMail sendMonitorMail)
    : m_controls(controls), m_hostSweep(std::move(hostSweep)), m_sendMonitorMail(std::move(sendMonitorMail)) {}

void Monitoring::start() {}

void Monitoring::stop() {}

void Monitoring::tick() {}

} // namespace monitor
