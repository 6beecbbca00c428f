// Monitoring with mail, end to end: the real window offscreen, the real
// timer and sweep, answering and silent loopback hosts, and a real SMTP
// server on 127.0.0.1:25. Runs only inside the network namespace that ctest
// makes for it (tests/support/in_netns.sh).

#include "tests/support/wait_for.h"
#include "app/application.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <vector>

namespace {

const QString kAccount = QStringLiteral("watcher@example.test");
const QString kPassword = QStringLiteral("s3cret");
const QString kRecipient = QStringLiteral("ops@example.test");

// Echo requests to these addresses are dropped on the way in, so they never answer.
bool silence(const QStringList& addresses) {
    QProcess nft;
    nft.start(QStringLiteral("nft"), {QStringLiteral("-f"), QStringLiteral("-")});
    if (!nft.waitForStarted(5000))
        return false;
    const QString rules =
        QStringLiteral("table ip hw_monitoring_e2e { chain input { type filter hook input priority 0; "
                       "icmp type echo-request ip daddr { %1 } drop; }; }\n")
            .arg(addresses.join(QStringLiteral(", ")));
    nft.write(rules.toUtf8());
    nft.closeWriteChannel();
    return nft.waitForFinished(5000) && nft.exitStatus() == QProcess::NormalExit && nft.exitCode() == 0;
}

// The mail tests' aiosmtpd sink on 127.0.0.1:25. Each start gets a fresh
// directory, since the sink numbers its messages from 0 on every run.
class SmtpSink {
public:
    ~SmtpSink() { stop(); }

    bool start() {
        const QString dir = m_root.path() + QStringLiteral("/run%1").arg(m_runs.size());
        if (!QDir().mkpath(dir))
            return false;
        m_runs.append(dir);
        const QString script = qEnvironmentVariable("HW_SOURCE_DIR") + QStringLiteral("/tests/mail/smtp_sink.py");
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.start(QStringLiteral("/usr/bin/python3"), {script, dir, QStringLiteral("25"), kAccount, kPassword});
        // Waits without running the event loop, so that no tick runs meanwhile.
        for (int i = 0; i < 300 && m_process.state() != QProcess::NotRunning; ++i) {
            if (QFile::exists(dir + QStringLiteral("/ready")))
                return true;
            m_process.waitForFinished(50);
        }
        return false;
    }
    void stop() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    std::vector<QJsonObject> mails() const {
        std::vector<QJsonObject> all;
        for (const QString& dir : m_runs)
            for (int n = 0;; ++n) {
                QFile f(dir + QStringLiteral("/msg-%1.json").arg(n));
                if (!f.open(QIODevice::ReadOnly))
                    break;
                all.push_back(QJsonDocument::fromJson(f.readAll()).object());
            }
        return all;
    }

private:
    QTemporaryDir m_root;
    QStringList m_runs;
    QProcess m_process;
};

// Dismisses every message box soon after it opens, and notes its text.
class BoxDismisser {
public:
    BoxDismisser() {
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) {
                    texts.push_back(b->text());
                    b->button(QMessageBox::Ok)->click();
                }
        });
        m_poll.start(100);
    }
    std::vector<QString> texts;

private:
    QTimer m_poll;
};

TEST(MonitoringEndToEnd, OneMailForTheSilentHostsAndAPendingMailThatWaitsForTheServer) {
    if (qEnvironmentVariableIsEmpty("HW_NETNS_NAME"))
        GTEST_SKIP() << "sends echo requests and mail on loopback: runs only in its own namespace, through ctest";
    ASSERT_TRUE(silence({QStringLiteral("127.0.0.7"), QStringLiteral("127.0.0.3")}));
    QTemporaryDir programDir;
    ASSERT_TRUE(programDir.isValid());
    SmtpSink server;
    ASSERT_TRUE(server.start()) << "python3-aiosmtpd is needed";

    app::Application program(programDir.path());
    app::MainWindow& w = program.window();
    w.show();
    w.编辑框1->setPlainText(QStringLiteral("127.0.0.1\n127.0.0.7\n127.0.0.2\n127.0.0.3"));
    w.编辑框2->setText(QStringLiteral("127.0.0.1"));
    w.编辑框3->setText(kAccount);
    w.编辑框4->setText(kPassword);
    w.编辑框5->setText(kRecipient);

    std::vector<int> pendingAfterTick;
    auto tick = w.时钟1.onTick;
    w.时钟1.onTick = [&] {
        tick();
        pendingAfterTick.push_back(program.monitoring().mailPending());
    };
    BoxDismisser boxes;
    const auto mailCount = [&] { return server.mails().size(); };
    const QString expectedBody =
        QStringLiteral("测试故障IP列表\r\n127.0.0.7\r\n127.0.0.3\r\n\r\n未避免邮件发送过于频繁，已为您关闭邮件通知");

    w.选择框1->setChecked(true);
    w.按钮3->click();
    ASSERT_TRUE(waitFor([&] { return !pendingAfterTick.empty(); }, 10000));
    ASSERT_EQ(mailCount(), 1u);
    const QJsonObject first = server.mails()[0];
    EXPECT_EQ(first[u"body"].toString(), expectedBody);
    EXPECT_EQ(first[u"mail_from"].toString(), kAccount);
    EXPECT_EQ(first[u"rcpt_tos"].toArray(), QJsonArray{kRecipient});
    EXPECT_EQ(first[u"logins"].toArray().size(), 1);
    EXPECT_EQ(w.编辑框6->toPlainText(), QStringLiteral("127.0.0.7\n127.0.0.3"));
    EXPECT_FALSE(w.选择框1->isChecked());
    EXPECT_EQ(program.monitoring().mailPending(), 0);

    ASSERT_TRUE(waitFor([&] { return pendingAfterTick.size() >= 3; }, 15000));
    EXPECT_EQ(mailCount(), 1u) << "no second mail until the box is checked again";
    EXPECT_TRUE(boxes.texts.empty());

    server.stop();
    w.选择框1->setChecked(true);
    const size_t before = pendingAfterTick.size();
    ASSERT_TRUE(waitFor([&] { return pendingAfterTick.size() > before; }, 10000));
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], QStringLiteral("连接发信服务器失败"));
    EXPECT_EQ(program.monitoring().mailPending(), 1);
    EXPECT_TRUE(w.选择框1->isChecked());
    EXPECT_EQ(mailCount(), 1u);

    ASSERT_TRUE(server.start());
    const size_t back = pendingAfterTick.size();
    ASSERT_TRUE(waitFor([&] { return pendingAfterTick.size() > back; }, 10000));
    EXPECT_EQ(pendingAfterTick[back], 0) << "sent on the first tick after the server is back";
    ASSERT_EQ(mailCount(), 2u);
    EXPECT_EQ(server.mails()[1][u"body"].toString(), expectedBody);
    EXPECT_FALSE(w.选择框1->isChecked());
    EXPECT_EQ(boxes.texts.size(), 1u);

    w.按钮5->click();
    ASSERT_TRUE(waitFor([&] { return w.时钟1.period() == 0; }, 10000));
    EXPECT_EQ(program.monitoring().monitoringActive(), 0);
}

} // namespace
