// 按钮1 "发件测试" through the real window, offscreen, against a scripted
// server inside the test's own network namespace.
#include "app/application.h"
#include "scripted_server.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace mailtest;

namespace {

QString u(const char8_t* text) {
    return QString::fromUtf8(reinterpret_cast<const char*>(text));
}

// Clicks 按钮1 and answers every box it opens, returning their texts.
QStringList clickTestButton(app::Application& application) {
    QStringList seen;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box->objectName() != QStringLiteral("messageBox"))
            return;
        seen << box->text();
        EXPECT_EQ(box->windowTitle(), u(u8"信息："));
        box->button(QMessageBox::Ok)->click();
    });
    poll.start();
    application.window().按钮1->click();
    poll.stop();
    return seen;
}

void fill(app::MainWindow& w, const char* server, const char* recipient) {
    w.编辑框2->setText(QString::fromLatin1(server));
    w.编辑框3->setText(QStringLiteral("me@x.cn"));
    w.编辑框4->setText(QString());
    w.编辑框5->setText(QString::fromLatin1(recipient));
}

const Script kAccepting = {send("220 ready\r\n"), expect(), send("250 hi\r\n"),     expect(),
                           send("250 ok\r\n"),    expect(), send("250 ok\r\n"),     expect(),
                           send("354 go\r\n"),    expect(), send("250 queued\r\n"), expect(),
                           send("221 bye\r\n")};

} // namespace

TEST(TestMailWindow, Boxes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ScriptedServer server({kAccepting, kAccepting});
    {
        app::Application application(dir.path());

        fill(application.window(), "127.0.0.1", "ops@x.cn");
        EXPECT_EQ(clickTestButton(application), QStringList{u(u8"邮件发送成功")});

        // An empty server field: no connection is made, the failure box shows;
        // the session of the previous mail is still closed first.
        fill(application.window(), "", "ops@x.cn");
        EXPECT_EQ(clickTestButton(application), QStringList{u(u8"连接发信服务器失败")});
        EXPECT_EQ(server.accepted(), 1);

        // An empty recipient: the session opens, the mail is refused, nothing is shown.
        fill(application.window(), "127.0.0.1", "");
        EXPECT_TRUE(clickTestButton(application).isEmpty());
        EXPECT_EQ(server.accepted(), 2);
    }
    server.finish();
    EXPECT_TRUE(server.received(0).startsWith("HELO "));
    EXPECT_TRUE(server.received(0).endsWith("\r\n.\r\nQUIT\r\n"));
    // The session left open by the refused mail is closed at exit.
    EXPECT_TRUE(server.received(1).endsWith("\r\nQUIT\r\n"));
    EXPECT_FALSE(server.received(1).contains("MAIL FROM"));
}

// Nobody listens on the server's port.
TEST(TestMailWindow, ConnectionFailure) {
    QTemporaryDir dir;
    app::Application application(dir.path());
    fill(application.window(), "127.0.0.1", "ops@x.cn");
    EXPECT_EQ(clickTestButton(application), QStringList{u(u8"连接发信服务器失败")});
}
