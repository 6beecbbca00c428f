// The failure box of the monitoring mail on the real window and the real
// 时钟1: a tick that comes due while the box is open waits for it to close.
// An empty 编辑框2 makes the mail fail before any connection, and an empty
// 编辑框1 makes the sweep send nothing, so this needs no network.

#include "tests/support/wait_for.h"
#include "app/application.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <vector>

namespace {

// Watches for message boxes from inside their modal loops and dismisses each
// one after the time the test gives it.
class BoxWatcher {
public:
    struct Box {
        QPointer<QMessageBox> box;
        QString text, caption;
        qint64 opened = -1, closed = -1;
    };

    BoxWatcher(const QElapsedTimer& clock, std::vector<qint64> holdMs) : m_clock(clock), m_holdMs(std::move(holdMs)) {
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
        m_poll.start(10);
    }

    std::vector<Box> boxes;
    qsizetype mostOpenAtOnce = 0;
    std::function<void()> whileOpen; // called on every poll while a box is open

private:
    void poll() {
        QList<QMessageBox*> open;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible())
                open.append(b);
        mostOpenAtOnce = std::max(mostOpenAtOnce, open.size());
        const qint64 now = m_clock.elapsed();
        for (QMessageBox* b : open) {
            auto it =
                std::find_if(boxes.begin(), boxes.end(), [b](const Box& x) { return x.box == b && x.closed < 0; });
            if (it == boxes.end()) {
                boxes.push_back({b, b->text(), b->windowTitle(), now, -1});
                it = boxes.end() - 1;
            }
            const size_t index = size_t(it - boxes.begin());
            const qint64 hold = index < m_holdMs.size() ? m_holdMs[index] : 0;
            if (whileOpen)
                whileOpen();
            if (now - it->opened >= hold) {
                it->closed = now;
                b->button(QMessageBox::Ok)->click();
            }
        }
    }

    const QElapsedTimer& m_clock;
    std::vector<qint64> m_holdMs;
    QTimer m_poll;
};

TEST(MonitoringFailureBox, ATickDueWhileTheBoxIsOpenWaitsUntilItIsClosedAndBoxesNeverStack) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    app::Application program(dir.path());
    app::MainWindow& w = program.window();
    w.show();

    QElapsedTimer clock;
    std::vector<qint64> ticks;
    auto tick = w.时钟1.onTick;
    w.时钟1.onTick = [&] {
        ticks.push_back(clock.elapsed());
        tick();
    };
    // The first box stays open for more than a period, the second is dismissed at once.
    BoxWatcher watcher(clock, {4500, 0});
    bool heldWhileFirstOpen = false;
    size_t ticksWhileFirstOpen = 0;
    watcher.whileOpen = [&] {
        if (watcher.boxes.size() == 1) {
            heldWhileFirstOpen = heldWhileFirstOpen || w.时钟1.tickHeld();
            ticksWhileFirstOpen = std::max(ticksWhileFirstOpen, ticks.size());
        }
    };

    w.选择框1->setChecked(true);
    clock.start();
    w.按钮3->click();
    ASSERT_TRUE(waitFor([&] { return watcher.boxes.size() >= 2 && watcher.boxes[1].closed >= 0; }, 15000));

    const auto& first = watcher.boxes[0];
    EXPECT_EQ(first.text, QStringLiteral("连接发信服务器失败"));
    EXPECT_EQ(first.caption, QStringLiteral("信息："));
    ASSERT_GE(ticks.size(), 2u);
    EXPECT_GE(ticks[0], 2900);
    EXPECT_LT(ticks[0], 4000);
    EXPECT_EQ(ticksWhileFirstOpen, 1u) << "no tick may run inside the box's modal loop";
    EXPECT_TRUE(heldWhileFirstOpen) << "the tick due while the box was open is held";
    EXPECT_GE(ticks[1], first.closed);
    EXPECT_LT(ticks[1] - first.closed, 500) << "the held tick runs right after the box closes";
    EXPECT_EQ(watcher.mostOpenAtOnce, 1);
    EXPECT_EQ(program.monitoring().mailPending(), 1);
    EXPECT_TRUE(w.选择框1->isChecked());
    EXPECT_EQ(ticks.size(), 2u);
}

} // namespace
