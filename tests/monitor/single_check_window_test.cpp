// The single check through the real window, offscreen, against the loopback
// range of the test's own network namespace.

#include "app/application.h"
#include "tests/monitor/netns_fixture.h"

#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using namespace netns;

class SingleCheckWindow : public netns::Fixture {
protected:
    void SetUp() override {
        netns::Fixture::SetUp();
        if (IsSkipped())
            return;
        nft("add rule ip hw in ip daddr 127.0.2.0/24 icmp type echo-request drop");
        ASSERT_TRUE(m_dir.isValid());
        m_app = std::make_unique<app::Application>(m_dir.path());
    }

    QString check(const QString& list) {
        m_app->window().编辑框1->setPlainText(list);
        m_app->window().按钮2->click();
        return m_app->window().编辑框6->toPlainText();
    }

    QColor colour() const { return m_app->window().编辑框6->palette().color(QPalette::Text); }

    QTemporaryDir m_dir;
    std::unique_ptr<app::Application> m_app;
};

TEST_F(SingleCheckWindow, SilentHostsInRedAsTypedThenAllClearInGreen) {
    EXPECT_EQ(check(QStringLiteral("127.0.0.1\n127.0.2.1\n\n 127.0.0.2 \n127.0.2.1\n")),
              QStringLiteral("127.0.2.1\n\n127.0.2.1"));
    EXPECT_EQ(colour(), QColor(255, 0, 0));

    EXPECT_EQ(check(QStringLiteral(" 127.0.0.1\nlocalhost\n127.0.0.3\n")), QStringLiteral("所有主机正常"));
    EXPECT_EQ(colour(), QColor(0, 255, 0));

    EXPECT_EQ(check(QStringLiteral("127.0.2.9")), QStringLiteral("127.0.2.9"));
    EXPECT_EQ(colour(), QColor(255, 0, 0));

    EXPECT_EQ(check(QString()), QStringLiteral("所有主机正常"));
    EXPECT_EQ(colour(), QColor(0, 255, 0));
}

TEST_F(SingleCheckWindow, WithoutEchoServiceTheOperatorIsToldOnceAndEveryHostIsFaulty) {
    usePingSockets(false);
    WithoutCapability noRaw(CAP_NET_RAW);
    int boxes = 0;
    QString text;
    // Closes every box that opens, from inside its modal loop.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ++boxes;
            text = box->text();
            box->accept();
        }
    });
    closer.start(10);
    EXPECT_EQ(check(QStringLiteral("127.0.0.1\nlocalhost")), QStringLiteral("127.0.0.1\nlocalhost"));
    EXPECT_EQ(check(QStringLiteral("127.0.0.1")), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(colour(), QColor(255, 0, 0));
    EXPECT_EQ(boxes, 1);
    EXPECT_TRUE(text.contains(QStringLiteral("ping_group_range"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("cap_net_raw"))) << text.toStdString();
}

} // namespace
