#include "monitor/host_sweep.h"

#include "platform/codepage.h"

namespace monitor {

namespace {
constexpr int kEchoTimeoutMs = 1000;
}

std::vector<platform::Text> SplitText(QByteArrayView text, QByteArrayView delimiter) {
    std::vector<platform::Text> out;
    if (delimiter.isEmpty()) {
        if (!text.isEmpty())
            out.emplace_back(text.toByteArray());
        return out;
    }
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text.sliced(i).startsWith(delimiter)) {
            out.emplace_back(text.sliced(start, i - start).toByteArray());
            i += delimiter.size();
            start = i;
        } else if (static_cast<unsigned char>(text[i]) >= 0x80) {
            i = std::min(i + 2, text.size());
        } else {
            ++i;
        }
    }
    if (start < text.size())
        out.emplace_back(text.sliced(start).toByteArray());
    return out;
}

Sweeper::Sweeper(platform::Controls& controls) : Sweeper(controls, platform::echo::makeSystemEchoChecker()) {}

Sweeper::Sweeper(platform::Controls& controls, std::unique_ptr<platform::echo::EchoChecker> echo)
    : m_controls(controls), m_echo(std::move(echo)) {}

void Sweeper::HostSweep() {
    const std::vector<platform::Text> hosts = SplitText(m_controls.编辑框1->text(), "\r\n");
    m_controls.编辑框6->setText({});
    if (hosts.empty())
        return;

    const platform::echo::EchoResult result = m_echo->checkHosts(hosts, kEchoTimeoutMs);
    if (result.service == platform::echo::EchoService::None && !m_toldNoService) {
        m_toldNoService = true;
        m_controls.messageBox->show(platform::echo::noServiceMessage());
    }

    // The list is written once: the window could not show the steps between.
    // Each fault is appended as if to the box itself: to an empty list it is
    // the whole text, so a blank entry at the head leaves no empty line.
    platform::Text faults;
    bool any = false;
    for (size_t i = 0; i < hosts.size(); ++i) {
        if (i < result.answered.size() && result.answered[i])
            continue;
        if (faults.isEmpty())
            faults = hosts[i];
        else
            faults += "\r\n" + hosts[i];
        any = true;
    }
    if (any) {
        m_controls.编辑框6->setTextColour(platform::kRed);
        m_controls.编辑框6->setText(faults);
    }
}

void Sweeper::singleCheck() {
    HostSweep();
    if (m_controls.编辑框6->text().isEmpty()) {
        m_controls.编辑框6->setTextColour(platform::kGreen);
        m_controls.编辑框6->setText(platform::codepage::gbk(u8"所有主机正常"));
    }
}

} // namespace monitor
