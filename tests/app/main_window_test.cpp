// The main window as the operator meets it: controls, keyboard and focus,
// the control operations, the message box and the monitoring clock.
#include "app/main_window.h"
#include "platform/codepage.h"
#include "platform/timer.h"
#include "platform/toolkit.h"

#include <QAccessible>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <limits>

using app::MainWindow;
using platform::codepage::gbk;

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

struct ControlRow {
    const char* name;
    const char* kind; // group, multi, single, label, check, button
    const char* parent;
    QRect geometry;
    const char* caption;
};

const ControlRow kControls[] = {
    {"分组框1", "group", "MainWindow", {16, 24, 144, 328}, "地址列表"},
    {"编辑框1", "multi", "分组框1", {11, 24, 120, 296}, ""},
    {"分组框2", "group", "MainWindow", {176, 24, 224, 80}, "发件箱设置"},
    {"标签1", "label", "分组框2", {16, 13, 40, 16}, "服务器"},
    {"编辑框2", "single", "分组框2", {64, 13, 136, 16}, ""},
    {"标签2", "label", "分组框2", {16, 32, 40, 16}, "账号"},
    {"编辑框3", "single", "分组框2", {64, 32, 136, 16}, ""},
    {"标签3", "label", "分组框2", {16, 51, 40, 16}, "密码"},
    {"编辑框4", "single", "分组框2", {64, 51, 136, 16}, ""},
    {"分组框3", "group", "MainWindow", {176, 112, 224, 40}, "收件箱"},
    {"标签4", "label", "分组框3", {16, 16, 40, 16}, "收件箱"},
    {"编辑框5", "single", "分组框3", {64, 16, 136, 16}, ""},
    {"选择框1", "check", "MainWindow", {179, 160, 69, 24}, "启用邮件"},
    {"按钮1", "button", "MainWindow", {252, 159, 68, 24}, "发件测试"},
    {"按钮4", "button", "MainWindow", {330, 159, 68, 24}, "保存"},
    {"分组框4", "group", "MainWindow", {176, 192, 224, 120}, "故障IP列表"},
    {"编辑框6", "multi", "分组框4", {8, 16, 208, 96}, ""},
    {"按钮2", "button", "MainWindow", {178, 326, 72, 24}, "单次检测"},
    {"按钮3", "button", "MainWindow", {256, 326, 72, 24}, "循环监控"},
    {"按钮5", "button", "MainWindow", {337, 326, 72, 24}, "停止监控"},
};

const char* const kTabOrder[] = {"编辑框1", "编辑框2", "编辑框3", "编辑框4", "编辑框5", "按钮1",
                                 "按钮2",   "按钮3",   "编辑框6", "选择框1", "按钮4",   "按钮5"};

class MainWindowTest : public ::testing::Test {
protected:
    void showActive() {
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    }
    QWidget* child(const char* name) { return w.findChild<QWidget*>(u(name)); }
    QString focused() {
        QWidget* f = QApplication::focusWidget();
        return f ? f->objectName() : QString();
    }

    MainWindow w;
};

TEST_F(MainWindowTest, EveryControlHasItsKindParentGeometryAndCaption) {
    for (const ControlRow& row : kControls) {
        SCOPED_TRACE(row.name);
        QWidget* c = child(row.name);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->parentWidget()->objectName(), u(row.parent));
        const std::string kind = row.kind;
        QRect expected = row.geometry;
        if (kind == "single") {
            // Only the height may grow, to one line of the box's font.
            EXPECT_GE(c->height(), 16);
            EXPECT_LE(c->height(), c->fontMetrics().height() + 4 > 16 ? c->fontMetrics().height() + 4 : 16);
            expected.setHeight(c->height());
        }
        EXPECT_EQ(c->geometry(), expected);
        if (kind == "group") {
            auto* g = qobject_cast<QGroupBox*>(c);
            ASSERT_NE(g, nullptr);
            EXPECT_EQ(g->title(), u(row.caption));
            EXPECT_EQ(g->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        } else if (kind == "label") {
            auto* l = qobject_cast<QLabel*>(c);
            ASSERT_NE(l, nullptr);
            EXPECT_EQ(l->text(), u(row.caption));
            EXPECT_EQ(l->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
            EXPECT_EQ(l->focusPolicy(), Qt::NoFocus);
        } else if (kind == "button") {
            auto* b = qobject_cast<QPushButton*>(c);
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(b->text(), u(row.caption));
            EXPECT_FALSE(b->isDefault());
            EXPECT_FALSE(b->autoDefault());
        } else if (kind == "check") {
            auto* b = qobject_cast<QCheckBox*>(c);
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(b->text(), u(row.caption));
            EXPECT_FALSE(b->isChecked());
            EXPECT_FALSE(b->isTristate());
        } else if (kind == "multi") {
            auto* e = qobject_cast<QPlainTextEdit*>(c);
            ASSERT_NE(e, nullptr);
            EXPECT_TRUE(e->toPlainText().isEmpty());
            EXPECT_EQ(e->font().pointSize(), 9);
            EXPECT_EQ(QFontInfo(e->font()).pixelSize(), 12);
            EXPECT_EQ(e->font().weight(), QFont::Normal);
            EXPECT_FALSE(e->font().italic() || e->font().underline() || e->font().strikeOut());
            EXPECT_EQ(e->lineWrapMode(), QPlainTextEdit::WidgetWidth);
            EXPECT_EQ(e->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
            EXPECT_EQ(e->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
            EXPECT_TRUE(e->tabChangesFocus());
            EXPECT_FALSE(e->isReadOnly());
        } else if (kind == "single") {
            auto* e = qobject_cast<QLineEdit*>(c);
            ASSERT_NE(e, nullptr);
            EXPECT_TRUE(e->text().isEmpty());
            EXPECT_EQ(e->maxLength(), std::numeric_limits<int>::max());
            EXPECT_EQ(e->echoMode(), QLineEdit::Normal);
            EXPECT_TRUE(e->alignment() & Qt::AlignLeft);
            EXPECT_TRUE(e->hasFrame());
        }
        // Every control fits inside its parent, and so inside the window.
        EXPECT_TRUE(c->parentWidget()->rect().contains(c->geometry())) << row.name;
    }
}

TEST_F(MainWindowTest, WindowIsFixedSizeWithMinimizeButOnlyNoMaximize) {
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_EQ(w.size(), QSize(MainWindow::kClientWidth, MainWindow::kClientHeight));
    const Qt::WindowFlags f = w.windowFlags();
    EXPECT_TRUE(f & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(f & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(f & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(f & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.windowTitle().isEmpty());
    EXPECT_FALSE(w.windowIcon().isNull());
    EXPECT_FALSE(w.windowIcon().pixmap(32, 32).isNull());
    EXPECT_EQ(w.parentWidget(), nullptr);
    EXPECT_EQ(w.时钟1.period(), 0);
}

TEST_F(MainWindowTest, WindowIsCentredOnTheScreen) {
    showActive();
    const QRect area = w.screen()->availableGeometry();
    const QPoint centre = w.frameGeometry().center();
    EXPECT_LE(std::abs(centre.x() - area.center().x()), 8);
    EXPECT_LE(std::abs(centre.y() - area.center().y()), 16);
}

TEST_F(MainWindowTest, TabAndShiftTabFollowTheOrderAndWrap) {
    showActive();
    EXPECT_EQ(focused(), u("编辑框1")) << "focus starts in 编辑框1";
    const int n = int(std::size(kTabOrder));
    for (int i = 1; i <= n; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(focused(), u(kTabOrder[i % n])) << "Tab step " << i;
    }
    for (int i = n - 1; i >= -1; --i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(focused(), u(kTabOrder[(i + n) % n])) << "Shift+Tab step " << i;
    }
}

TEST_F(MainWindowTest, EscClosesTheWindowFromAnyControl) {
    for (const char* name : {"编辑框2", "编辑框1", "按钮1", "选择框1"}) {
        SCOPED_TRACE(name);
        showActive();
        child(name)->setFocus();
        QTest::keyClick(child(name), Qt::Key_Escape, Qt::ControlModifier);
        QTest::keyClick(child(name), Qt::Key_Escape, Qt::ShiftModifier);
        QTest::keyClick(child(name), Qt::Key_Escape, Qt::AltModifier);
        EXPECT_TRUE(w.isVisible()) << "Esc with a modifier does nothing";
        QTest::keyClick(child(name), Qt::Key_Escape);
        EXPECT_FALSE(w.isVisible());
    }
}

TEST_F(MainWindowTest, EnterDoesNothingInSingleLineBoxesAndOnButtons) {
    showActive();
    std::vector<std::unique_ptr<QSignalSpy>> clicks;
    for (const char* b : {"按钮1", "按钮2", "按钮3", "按钮4", "按钮5"})
        clicks.push_back(std::make_unique<QSignalSpy>(qobject_cast<QPushButton*>(child(b)), &QPushButton::clicked));
    w.编辑框2->setText(u("mail.example"));
    for (const char* name : {"编辑框2", "编辑框5", "按钮1", "按钮4", "选择框1"}) {
        child(name)->setFocus();
        QTest::keyClick(child(name), Qt::Key_Return);
        QTest::keyClick(child(name), Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(focused(), u(name));
    }
    for (auto& spy : clicks)
        EXPECT_EQ(spy->count(), 0);
    EXPECT_EQ(w.编辑框2->text(), u("mail.example"));
    EXPECT_FALSE(w.选择框1->isChecked());
    EXPECT_TRUE(w.isVisible());
    // Enter starts a new line in the multi-line boxes.
    w.编辑框1->setFocus();
    QTest::keyClicks(w.编辑框1, u("a"));
    QTest::keyClick(w.编辑框1, Qt::Key_Return);
    QTest::keyClicks(w.编辑框1, u("b"));
    EXPECT_EQ(w.controls().编辑框1->text(), QByteArray("a\r\nb"));
}

TEST_F(MainWindowTest, FocusReturnsToTheLastControlWhenReactivated) {
    showActive();
    w.编辑框4->setFocus();
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    EXPECT_EQ(focused(), u("编辑框4"));
}

TEST_F(MainWindowTest, EditBoxesAreNamedForScreenReaders) {
    const std::pair<const char*, const char*> names[] = {{"编辑框1", "地址列表"}, {"编辑框2", "服务器"},
                                                         {"编辑框3", "账号"},     {"编辑框4", "密码"},
                                                         {"编辑框5", "收件箱"},   {"编辑框6", "故障IP列表"}};
    for (auto [box, name] : names) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(child(box));
        ASSERT_NE(iface, nullptr);
        EXPECT_EQ(iface->text(QAccessible::Name), u(name)) << box;
    }
    EXPECT_EQ(w.标签1->buddy(), w.编辑框2);
    EXPECT_EQ(w.标签4->buddy(), w.编辑框5);
}

TEST_F(MainWindowTest, ControlOperationsSpeakGbkAndCrlf) {
    platform::Controls& c = w.controls();
    // Multi-line boxes hold "\r\n" line breaks towards the program.
    const QByteArray list = gbk(u8"127.0.0.1\r\n\r\n  主机甲 \r\n");
    c.编辑框1->setText(list);
    EXPECT_EQ(w.编辑框1->toPlainText(), u("127.0.0.1\n\n  主机甲 \n"));
    EXPECT_EQ(c.编辑框1->text(), list);
    c.编辑框3->setText(gbk(u8"用户@例子.cn"));
    EXPECT_EQ(w.编辑框3->text(), u("用户@例子.cn"));
    EXPECT_EQ(c.编辑框3->text(), gbk(u8"用户@例子.cn"));
    // A long value is not cut at the toolkit's default limit.
    const QByteArray longText(100000, 'x');
    c.编辑框2->setText(longText);
    EXPECT_EQ(c.编辑框2->text(), longText);

    c.编辑框6->setTextColour(platform::kRed);
    EXPECT_EQ(w.编辑框6->palette().color(QPalette::Active, QPalette::Text), QColor(255, 0, 0));
    EXPECT_EQ(w.编辑框6->palette().color(QPalette::Inactive, QPalette::Text), QColor(255, 0, 0));
    // The colour is the text's own too, as screen readers see it.
    c.编辑框6->setText(QByteArray("127.0.0.2\r\n127.0.0.3"));
    QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(w.编辑框6)->textInterface();
    ASSERT_NE(text, nullptr);
    int start = 0, end = 0;
    EXPECT_TRUE(text->attributes(12, &start, &end).contains(QStringLiteral("color:rgb(255,0,0)")))
        << text->attributes(12, &start, &end).toStdString();
    EXPECT_EQ(w.编辑框6->textCursor().position(), 0);
    c.编辑框6->setTextColour(platform::kGreen);
    EXPECT_TRUE(text->attributes(0, &start, &end).contains(QStringLiteral("color:rgb(0,255,0)")));
    EXPECT_EQ(w.编辑框6->palette().color(QPalette::Active, QPalette::Text), QColor(0, 255, 0));
    c.编辑框6->setTextColour(0x00112233);
    EXPECT_EQ(w.编辑框6->palette().color(QPalette::Active, QPalette::Text), QColor(0x33, 0x22, 0x11));

    EXPECT_EQ(c.选择框1->checked(), 0);
    w.选择框1->click();
    EXPECT_EQ(c.选择框1->checked(), 1);
    c.选择框1->setChecked(0);
    EXPECT_FALSE(w.选择框1->isChecked());
}

// Runs `inspect` on the modal box as soon as it is up, then presses its OK button.
void onNextBox(std::function<void(QMessageBox*)> inspect) {
    QTimer::singleShot(0, [inspect] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            ADD_FAILURE() << "no modal box";
            return;
        }
        inspect(box);
        box->button(QMessageBox::Ok)->click();
    });
}

TEST(MessageBoxTest, CaptionTextButtonsAndModality) {
    bool seen = false;
    onNextBox([&](QMessageBox* box) {
        seen = true;
        EXPECT_EQ(box->windowTitle(), u("信息："));
        EXPECT_EQ(box->text(), u("连接发信服务器失败"));
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        EXPECT_EQ(box->buttons().size(), 1);
        EXPECT_EQ(box->parentWidget(), nullptr);
        EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
        EXPECT_TRUE(platform::TickGate::boxOpen());
    });
    platform::WidgetMessageBox().show(gbk(u8"连接发信服务器失败"));
    EXPECT_TRUE(seen);
    EXPECT_FALSE(platform::TickGate::boxOpen());
}

// The clock's period rules, with short periods.
class TimerTest : public ::testing::Test {
protected:
    TimerTest() {
        clock.start();
        timer.onTick = [this] { ticks.push_back(clock.elapsed()); };
    }
    platform::QtTimer timer;
    QElapsedTimer clock;
    std::vector<qint64> ticks;
};

TEST_F(TimerTest, WritingTheSamePeriodDoesNotPostponeTheTick) {
    timer.setPeriod(200);
    for (int i = 0; i < 5; ++i) {
        QTest::qWait(30);
        timer.setPeriod(200);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!ticks.empty(), 2000);
    EXPECT_GE(ticks[0], 190);
    EXPECT_LT(ticks[0], 200 + 150) << "re-writing 200 restarted the countdown";
    EXPECT_EQ(timer.period(), 200);
}

TEST_F(TimerTest, ANewPeriodRestartsAndZeroStops) {
    timer.setPeriod(100);
    QTest::qWait(60);
    timer.setPeriod(150); // restarts: first tick a full 150 ms after this write
    const qint64 written = clock.elapsed();
    QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 2, 2000);
    EXPECT_GE(ticks[0] - written, 145);
    EXPECT_GE(ticks[1] - ticks[0], 100) << "ticks come every period";
    timer.setPeriod(0);
    const size_t seen = ticks.size();
    QTest::qWait(400);
    EXPECT_EQ(ticks.size(), seen);
    EXPECT_EQ(timer.period(), 0);
    timer.setPeriod(-5);
    QTest::qWait(100);
    EXPECT_EQ(ticks.size(), seen) << "a negative period leaves it stopped";
}

TEST(TickGateTest, ATickDueWhileABoxIsOpenWaitsAndRunsOnceRightAfterIt) {
    // As when the test mail's box is open while monitoring runs.
    platform::QtTimer timer;
    int ticks = 0;
    qint64 firstTickAfterClose = -1;
    QElapsedTimer sinceClose;
    timer.onTick = [&] {
        ++ticks;
        if (firstTickAfterClose < 0 && sinceClose.isValid())
            firstTickAfterClose = sinceClose.elapsed();
    };
    timer.setPeriod(200);
    int ticksWhileOpen = -1;
    bool heldWhileOpen = false;
    QTimer::singleShot(700, [&] {
        ticksWhileOpen = ticks;
        heldWhileOpen = timer.tickHeld();
        sinceClose.start();
        qobject_cast<QMessageBox*>(QApplication::activeModalWidget())->button(QMessageBox::Ok)->click();
    });
    platform::WidgetMessageBox().show(QByteArray("box"));
    EXPECT_EQ(ticksWhileOpen, 0) << "no tick runs inside the box";
    EXPECT_TRUE(heldWhileOpen);
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 1, 1000);
    EXPECT_EQ(ticks, 1) << "several due ticks wait as one";
    EXPECT_LT(firstTickAfterClose, 100) << "the held tick runs right after the box";
    timer.setPeriod(0);
}

TEST(TickGateTest, ABoxOpenedByATickNeverGetsAnotherOnTop) {
    platform::QtTimer timer;
    platform::WidgetMessageBox box;
    int ticks = 0, boxes = 0, maxOpen = 0, open = 0;
    timer.onTick = [&] {
        ++ticks;
        if (boxes < 3) {
            ++boxes;
            QTimer::singleShot(250, [] {
                qobject_cast<QMessageBox*>(QApplication::activeModalWidget())->button(QMessageBox::Ok)->click();
            });
            ++open;
            maxOpen = std::max(maxOpen, open);
            box.show(QByteArray("connection failed"));
            --open;
        }
    };
    timer.setPeriod(30);
    QTRY_VERIFY_WITH_TIMEOUT(boxes == 3 && open == 0, 3000);
    EXPECT_EQ(maxOpen, 1);
    timer.setPeriod(0);
}

} // namespace
