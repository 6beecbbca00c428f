#pragma once
// Runs the event loop until `done` holds or `timeoutMs` have passed.

#include <QElapsedTimer>
#include <QTest>
#include <functional>

inline bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs)
        QTest::qWait(10);
    return done();
}
