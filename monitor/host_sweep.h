#pragma once
// The sweep over the address list and the single check.

#include "platform/controls.h"

namespace monitor {

// Owns the echo service for the life of the process.
class Sweeper {
public:
    explicit Sweeper(platform::Controls& controls);

    void HostSweep();
    void singleCheck(); // the click handler of 按钮2 "单次检测"

private:
    platform::Controls& m_controls;
};

} // namespace monitor
