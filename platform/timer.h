#pragma once
// The monitoring clock on the toolkit's event loop, and the gate that holds
// ticks back while a message box is open.
//
// A tick that comes due while a box is open does not run inside the box's
// modal loop: it is held (at most one waits) and runs from the event loop
// right after the last open box has been closed, provided the timer is still
// armed then. So no box from a tick ever opens on top of another one.

#include "platform/controls.h"

#include <QObject>
#include <QTimer>

namespace platform {

class TickGate {
public:
    // Called by the message box adapter around its modal loop.
    static void boxOpened();
    static void boxClosed();
    static bool boxOpen();
};

class QtTimer final : public QObject, public Timer {
    Q_OBJECT
public:
    explicit QtTimer(QObject* parent = nullptr);
    ~QtTimer() override;

    void setPeriod(int ms) override;
    int period() const override { return m_period; }

    // For tests: whether a tick is being held back.
    bool tickHeld() const { return m_held; }

private:
    void due();
    void releaseHeld();

    QTimer m_timer;
    int m_period = 0;
    bool m_held = false;
    friend class TickGate;
};

} // namespace platform
