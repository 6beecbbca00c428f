#pragma once
// The sweep over the address list and the single check.
//
// Error contract: nothing fails here as a whole. A host that cannot be
// checked for any reason is a fault in the list; when the system has no echo
// service at all, the operator is told once per run through the message box.

#include "platform/controls.h"
#include "platform/echo.h"

#include <QByteArrayView>
#include <memory>
#include <vector>

namespace monitor {

// Splits GBK text at each delimiter. A byte of 0x80 or above starts a
// double-byte character and is stepped over with the byte after it, so the
// delimiter never matches inside one. Every delimiter ends an element (empty
// ones included); the rest after the last one is an element only if not
// empty, so "" gives none and "a\r\n" gives just "a".
std::vector<platform::Text> SplitText(QByteArrayView text, QByteArrayView delimiter);

// Owns the echo service for the life of the process.
class Sweeper {
public:
    explicit Sweeper(platform::Controls& controls);
    Sweeper(platform::Controls& controls, std::unique_ptr<platform::echo::EchoChecker> echo);

    // Checks every host of 编辑框1 once and lists the silent ones in 编辑框6.
    void HostSweep();
    void singleCheck(); // the click handler of 按钮2 "单次检测"

private:
    platform::Controls& m_controls;
    std::unique_ptr<platform::echo::EchoChecker> m_echo;
    bool m_toldNoService = false;
};

} // namespace monitor
