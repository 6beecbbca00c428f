#include "monitor/host_sweep.h"

namespace monitor {

Sweeper::Sweeper(platform::Controls& controls) : m_controls(controls) {}

void Sweeper::HostSweep() {}

void Sweeper::singleCheck() { HostSweep(); }

} // namespace monitor
