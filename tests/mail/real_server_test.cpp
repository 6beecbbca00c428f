// The monitoring mail and the test mail through a real SMTP server (aiosmtpd,
// started inside the test's own network namespace), checked with Python's
// email package.
#include "fake_controls.h"
#include "mail/mail_notification.h"
#include "platform/codepage.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using mailtest::FakeWindow;
using platform::codepage::gbk;

namespace {

QString u(const char8_t* text) {
    return QString::fromUtf8(reinterpret_cast<const char*>(text));
}

class RealServer : public ::testing::Test {
protected:
    void start(const QStringList& excluded = {}) {
        ASSERT_TRUE(m_dir.isValid());
        const QString script = qEnvironmentVariable("HW_SOURCE_DIR") + QStringLiteral("/tests/mail/smtp_sink.py");
        m_server.setProcessChannelMode(QProcess::ForwardedChannels);
        m_server.start(QStringLiteral("/usr/bin/python3"),
                       QStringList{script, m_dir.path(), QStringLiteral("25"), QStringLiteral("me@x.cn"),
                                   QStringLiteral("s3cret")} +
                           excluded);
        for (int i = 0; i < 200 && !QFile::exists(m_dir.filePath(QStringLiteral("ready"))); ++i)
            QThread::msleep(50);
        ASSERT_TRUE(QFile::exists(m_dir.filePath(QStringLiteral("ready")))) << "aiosmtpd did not start";
    }

    void TearDown() override {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(5000))
                m_server.kill();
            m_server.waitForFinished(2000);
        }
    }

    // The n-th message the server accepted, as its decoder saw it.
    QJsonObject message(int n) {
        QFile f(m_dir.filePath(QStringLiteral("msg-%1.json").arg(n)));
        for (int i = 0; i < 100 && !f.exists(); ++i)
            QThread::msleep(50);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(f.readAll()).object();
    }

    int messageCount() const {
        return int(QDir(m_dir.path()).entryList({QStringLiteral("msg-*.json")}, QDir::Files).size());
    }

    QTemporaryDir m_dir;
    QProcess m_server;
    FakeWindow m_window;
};

QStringList strings(const QJsonValue& v) {
    QStringList out;
    for (const QJsonValue& item : v.toArray())
        out.append(item.toString());
    return out;
}

} // namespace

TEST_F(RealServer, TestMailWithLoginToSeveralRecipients) {
    start();
    m_window.setMail("127.0.0.1", "me@x.cn", "s3cret", "a@x.cn, Bob <b@x.cn>;c@x.cn");
    {
        mail::MailNotifier notifier(m_window.controls);
        notifier.testMail();
    }
    ASSERT_EQ(m_window.messageBox.shown, QList<platform::Text>{gbk(u8"邮件发送成功")});
    const QJsonObject m = message(0);
    ASSERT_FALSE(m.isEmpty());
    EXPECT_EQ(m[u"mail_from"].toString(), QStringLiteral("me@x.cn"));
    EXPECT_EQ(strings(m[u"rcpt_tos"]),
              (QStringList{QStringLiteral("a@x.cn"), QStringLiteral("b@x.cn"), QStringLiteral("c@x.cn")}));
    const QJsonArray logins = m[u"logins"].toArray();
    ASSERT_EQ(logins.size(), 1);
    EXPECT_EQ(logins[0].toObject()[u"mechanism"].toString(), QStringLiteral("LOGIN"));
    EXPECT_EQ(m[u"subject"].toString(), u(u8"网络监控邮件"));
    EXPECT_EQ(m[u"subject_raw"].toString(), QStringLiteral("=?gb2312?B?zfjC57zgv9jTyrz+?="));
    EXPECT_EQ(m[u"from"].toString(), QStringLiteral("me@x.cn"));
    EXPECT_EQ(m[u"reply_to"].toString(), QStringLiteral("me@x.cn"));
    EXPECT_EQ(m[u"to"].toString(), QStringLiteral("a@x.cn,Bob <b@x.cn>,c@x.cn"));
    EXPECT_TRUE(m[u"date_parsed"].toBool()) << m[u"date"].toString().toStdString();
    EXPECT_EQ(m[u"mime_version"].toString(), QStringLiteral("1.0"));
    EXPECT_EQ(m[u"content_type"].toString(), QStringLiteral("text/plain"));
    EXPECT_EQ(m[u"charset"].toString(), QStringLiteral("gb2312"));
    EXPECT_EQ(m[u"cte"].toString(), QStringLiteral("base64"));
    EXPECT_EQ(m[u"body"].toString(), u(u8"这是一封测试邮件"));
    EXPECT_EQ(strings(m[u"header_names"]),
              (QStringList{QStringLiteral("From"), QStringLiteral("To"), QStringLiteral("Subject"),
                           QStringLiteral("Date"), QStringLiteral("Reply-To"), QStringLiteral("MIME-Version"),
                           QStringLiteral("Content-type"), QStringLiteral("Content-Transfer-Encoding")}));
}

// PLAIN when LOGIN is not offered; a long Chinese fault list in lines of 76;
// the second mail closes the first session and opens its own.
TEST_F(RealServer, MonitoringMailsWithPlain) {
    start({QStringLiteral("LOGIN")});
    m_window.setMail("127.0.0.1", "me@x.cn", "s3cret", "ops@x.cn");
    QString faults;
    for (int i = 1; i <= 12; ++i)
        faults += u(u8"主机 127.0.0.%1 无应答\r\n").arg(i);
    const platform::Text body = platform::codepage::fromUnicode(faults);
    mail::MailNotifier notifier(m_window.controls);
    EXPECT_EQ(notifier.SendMonitorMail(body), 1);
    EXPECT_EQ(notifier.SendMonitorMail(gbk(u8"第二封")), 1);
    EXPECT_TRUE(m_window.messageBox.shown.isEmpty());

    const QJsonObject first = message(0);
    ASSERT_FALSE(first.isEmpty());
    EXPECT_EQ(first[u"logins"].toArray()[0].toObject()[u"mechanism"].toString(), QStringLiteral("PLAIN"));
    EXPECT_EQ(first[u"body"].toString(), faults);
    const QJsonArray lengths = first[u"body_line_lengths"].toArray();
    const qsizetype encoded = (body.size() + 2) / 3 * 4;
    // The full lines, the short one, the empty line before the final ".", what follows the last break.
    ASSERT_EQ(lengths.size(), encoded / 76 + 3);
    for (qsizetype i = 0; i + 3 < lengths.size(); ++i)
        EXPECT_EQ(lengths[i].toInt(), 76);
    EXPECT_EQ(lengths[lengths.size() - 3].toInt(), encoded % 76);
    EXPECT_EQ(lengths[lengths.size() - 2].toInt(), 0);
    EXPECT_EQ(message(1)[u"body"].toString(), u(u8"第二封"));
}

TEST_F(RealServer, FailuresReachTheCaller) {
    start();
    mail::MailNotifier notifier(m_window.controls);

    m_window.setMail("127.0.0.1", "me@x.cn", "wrong", "a@x.cn");
    EXPECT_EQ(notifier.SendMonitorMail("x"), 0);
    EXPECT_EQ(m_window.messageBox.shown, QList<platform::Text>{gbk(u8"连接发信服务器失败")});

    // A refused mail shows no box of its own: an empty recipient, then a malformed one.
    m_window.messageBox.shown.clear();
    m_window.setMail("127.0.0.1", "me@x.cn", "s3cret", "");
    notifier.testMail();
    m_window.setMail("127.0.0.1", "me@x.cn", "s3cret", "Bob <b@x.cn");
    EXPECT_EQ(notifier.SendMonitorMail("x"), 0);
    EXPECT_TRUE(m_window.messageBox.shown.isEmpty());

    // Without a password: HELO, no login, and this server takes the mail.
    m_window.setMail("127.0.0.1", "me@x.cn", "", "a@x.cn");
    EXPECT_EQ(notifier.SendMonitorMail("x"), 1);
    const QJsonObject m = message(0);
    EXPECT_TRUE(m[u"logins"].toArray().isEmpty());
    EXPECT_EQ(m[u"charset"].toString(), QStringLiteral("us-ascii"));
    EXPECT_EQ(messageCount(), 1);
}
