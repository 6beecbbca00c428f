#include "platform/timer.h"

#include <QMetaObject>
#include <algorithm>
#include <vector>

namespace platform {
namespace {
int g_openBoxes = 0;
std::vector<QtTimer*>& timers() {
    static std::vector<QtTimer*> all;
    return all;
}
} // namespace

void TickGate::boxOpened() { ++g_openBoxes; }

void TickGate::boxClosed() {
    if (g_openBoxes > 0)
        --g_openBoxes;
    if (g_openBoxes > 0)
        return;
    for (QtTimer* t : timers()) {
        if (t->m_held)
            QMetaObject::invokeMethod(t, &QtTimer::releaseHeld, Qt::QueuedConnection);
    }
}

bool TickGate::boxOpen() { return g_openBoxes > 0; }

QtTimer::QtTimer(QObject* parent) : QObject(parent) {
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &QtTimer::due);
    timers().push_back(this);
}

QtTimer::~QtTimer() {
    auto& all = timers();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

void QtTimer::setPeriod(int ms) {
    if (ms == m_period)
        return;
    m_period = ms;
    m_timer.stop();
    m_held = false;
    if (ms > 0)
        m_timer.start(ms);
}

void QtTimer::due() {
    if (TickGate::boxOpen()) {
        m_held = true;
        return;
    }
    if (onTick)
        onTick();
}

void QtTimer::releaseHeld() {
    if (!m_held || TickGate::boxOpen())
        return;
    m_held = false;
    if (m_period > 0 && onTick)
        onTick();
}

} // namespace platform
