// The SMTP session against a scripted server on 127.0.0.1:25 (inside the
// test's own network namespace): the exact bytes sent for every branch.
#include "mail/smtp_client.h"
#include "platform/codepage.h"
#include "scripted_server.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

using namespace mailtest;
using mail::MailError;
using platform::Text;
using platform::codepage::gbk;

namespace {

constexpr int kTimeoutMs = 300;
const Text kServer = "127.0.0.1";

std::unique_ptr<mail::SmtpClient> makeClient() {
    return std::make_unique<mail::SmtpClient>([] { return platform::LocalTime{2026, 12, 11, 5, 9, 5, 7, 480}; },
                                              [] { return Text("tester"); });
}

Text b64(const Text& t) {
    return t.toBase64();
}

// Greeting and HELO, for the sending tests that need an open session without a login.
Script helloThen(Script rest) {
    Script s = {send("220 ready\r\n"), expect(), send("250 hello\r\n")};
    s.insert(s.end(), rest.begin(), rest.end());
    return s;
}

const Text kHelo = "HELO tester\r\n";

} // namespace

struct ConnectCase {
    const char* name;
    Text account, password;
    Script script;
    int result;
    Text transcript; // everything the server received, the closing QUIT included
};

class MailConnectTest : public ::testing::TestWithParam<ConnectCase> {};

TEST_P(MailConnectTest, SendsExactlyAndDecides) {
    const ConnectCase& c = GetParam();
    ScriptedServer server({c.script});
    ASSERT_TRUE(server.listening());
    {
        auto client = makeClient();
        EXPECT_EQ(client->MailConnect(kServer, 25, c.account, c.password, kTimeoutMs), c.result);
        EXPECT_EQ(client->connected(), c.result == 1);
    }
    server.finish();
    EXPECT_EQ(server.received(0), c.transcript);
}

const Text kLoginSteps = "EHLO tester\r\nAUTH LOGIN\r\n" + b64("me@x.cn") + "\r\n" + b64("secret") + "\r\n";
const Script kLoginReplies = {send("334 VXNlcm5hbWU6\r\n"), expect(), send("334 UGFzc3dvcmQ6\r\n"), expect(),
                              send("235 ok\r\n"),           expect(), send("221 bye\r\n")};

Script ehloThen(const Text& ehloReply, Script rest) {
    Script s = {send("220 ready\r\n"), expect(), send(ehloReply), expect()};
    s.insert(s.end(), rest.begin(), rest.end());
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Branches, MailConnectTest,
    ::testing::Values(
        ConnectCase{"GreetingRefused",
                    "me@x.cn",
                    "secret",
                    {send("554 go away\r\n"), expect(), send("221 bye\r\n")},
                    0,
                    "QUIT\r\n"},
        ConnectCase{"GreetingMalformed", "me@x.cn", "secret", {send("hello there\r\n"), expect()}, 0, "QUIT\r\n"},
        ConnectCase{"LoginPreferredOverPlain", "me@x.cn", "secret",
                    ehloThen("250-mx.test\r\n250-SIZE 1000\r\n250 AUTH PLAIN LOGIN\r\n", kLoginReplies), 1,
                    kLoginSteps + "QUIT\r\n"},
        ConnectCase{"LoginCaseBlind", "me@x.cn", "secret", ehloThen("250-mx\r\n250 auth Login\r\n", kLoginReplies), 1,
                    kLoginSteps + "QUIT\r\n"},
        ConnectCase{"OldAuthEqualsLoginLine", "me@x.cn", "secret",
                    ehloThen("250-mx\r\n250-AUTH=LOGIN\r\n250 8BITMIME\r\n", kLoginReplies), 1,
                    kLoginSteps + "QUIT\r\n"},
        ConnectCase{"BareCodeEndsReply", "me@x.cn", "secret",
                    ehloThen("250-mx\r\n250-AUTH LOGIN\r\n250\r\n", kLoginReplies), 1, kLoginSteps + "QUIT\r\n"},
        ConnectCase{"Plain", "me@x.cn", "secret",
                    ehloThen("250-mx\r\n250 AUTH PLAIN CRAM-MD5\r\n",
                             {send("334 \r\n"), expect(), send("235 ok\r\n"), expect(), send("221 bye\r\n")}),
                    1, "EHLO tester\r\nAUTH PLAIN\r\n" + b64(QByteArray("\0me@x.cn\0secret", 15)) + "\r\nQUIT\r\n"},
        ConnectCase{"NoAuthLineNoLogin", "me@x.cn", "secret",
                    ehloThen("250-mx\r\n250 8BITMIME\r\n", {send("221 bye\r\n")}), 1, "EHLO tester\r\nQUIT\r\n"},
        ConnectCase{"NoKnownMechanism", "me@x.cn", "secret",
                    ehloThen("250-mx\r\n250 AUTH CRAM-MD5 XOAUTH2\r\n", {send("221 bye\r\n")}), 1,
                    "EHLO tester\r\nQUIT\r\n"},
        ConnectCase{"EhloRefusedFallsBackToHelo", "me@x.cn", "secret",
                    ehloThen("502 no\r\n", {send("250 hi\r\n"), expect(), send("221 bye\r\n")}), 1,
                    "EHLO tester\r\nHELO tester\r\nQUIT\r\n"},
        ConnectCase{"HeloRefused", "me@x.cn", "secret",
                    ehloThen("502 no\r\n", {send("550 no\r\n"), expect(), send("221 bye\r\n")}), 0,
                    "EHLO tester\r\nHELO tester\r\nQUIT\r\n"},
        ConnectCase{"EmptyPasswordHeloOnly",
                    "me@x.cn",
                    "",
                    {send("220 ready\r\n"), expect(), send("250 hi\r\n"), expect(), send("221 bye\r\n")},
                    1,
                    "HELO tester\r\nQUIT\r\n"},
        ConnectCase{"EmptyAccountHeloOnly",
                    "",
                    "secret",
                    {send("220 ready\r\n"), expect(), send("250 hi\r\n"), expect(), send("221 bye\r\n")},
                    1,
                    "HELO tester\r\nQUIT\r\n"},
        ConnectCase{"AuthLoginRefused", "me@x.cn", "secret",
                    ehloThen("250 AUTH LOGIN\r\n", {send("504 no\r\n"), expect(), send("221 bye\r\n")}), 0,
                    "EHLO tester\r\nAUTH LOGIN\r\nQUIT\r\n"},
        ConnectCase{"AccountRefused", "me@x.cn", "secret",
                    ehloThen("250 AUTH LOGIN\r\n", {send("334 VXNlcm5hbWU6\r\n"), expect(), send("535 no\r\n"),
                                                    expect(), send("221 bye\r\n")}),
                    0, "EHLO tester\r\nAUTH LOGIN\r\n" + b64("me@x.cn") + "\r\nQUIT\r\n"},
        ConnectCase{
            "PasswordRefused", "me@x.cn", "secret",
            ehloThen("250 AUTH LOGIN\r\n", {send("334 VXNlcm5hbWU6\r\n"), expect(), send("334 UGFzc3dvcmQ6\r\n"),
                                            expect(), send("535 bad\r\n"), expect(), send("221 bye\r\n")}),
            0, kLoginSteps + "QUIT\r\n"},
        ConnectCase{"EarlyAcceptEndsExchange", "me@x.cn", "secret",
                    ehloThen("250 AUTH LOGIN\r\n", {send("235 fine\r\n"), expect(), send("221 bye\r\n")}), 1,
                    "EHLO tester\r\nAUTH LOGIN\r\nQUIT\r\n"},
        ConnectCase{"PlainRefused", "me@x.cn", "secret",
                    ehloThen("250 AUTH PLAIN\r\n",
                             {send("334 \r\n"), expect(), send("535 no\r\n"), expect(), send("221 bye\r\n")}),
                    0, "EHLO tester\r\nAUTH PLAIN\r\n" + b64(QByteArray("\0me@x.cn\0secret", 15)) + "\r\nQUIT\r\n"},
        // No 334 ever comes: the wait fails, and QUIT is still sent and awaited.
        ConnectCase{"ChallengeNeverComes", "me@x.cn", "secret", ehloThen("250 AUTH LOGIN\r\n", {}), 0,
                    "EHLO tester\r\nAUTH LOGIN\r\nQUIT\r\n"},
        ConnectCase{"SilentGreeting", "me@x.cn", "secret", {}, 0, "QUIT\r\n"},
        ConnectCase{"TrickledReplies",
                    "me@x.cn",
                    "",
                    {trickle("220-mx ready\r\n220 go\r\n", 25), expect(), trickle("250 hi\r\n", 60), expect(),
                     send("221 bye\r\n")},
                    1,
                    "HELO tester\r\nQUIT\r\n"},
        // The server hangs up: nothing can be awaited, so no QUIT is sent.
        ConnectCase{
            "ClosedAfterEhlo", "me@x.cn", "secret", {send("220 ready\r\n"), expect(), hangUp()}, 0, "EHLO tester\r\n"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(MailConnect, EndOfStreamFailsAtOnce) {
    ScriptedServer server({{send("220 ready\r\n"), expect(), hangUp()}});
    auto client = makeClient();
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(client->MailConnect(kServer, 25, "a", "b", 5000), 0);
    EXPECT_LT(clock.elapsed(), 2500);
}

TEST(MailConnect, NoConnectionCases) {
    auto client = makeClient();
    // Nobody listens: the connection is refused.
    EXPECT_EQ(client->MailConnect(kServer, 25, "a", "b", kTimeoutMs), 0);
    EXPECT_EQ(client->MailConnect("", 25, "a", "b", kTimeoutMs), 0);
    EXPECT_FALSE(client->connected());
}

// Every new connect first ends the session left open by the previous mail,
// even when the new server name is empty.
TEST(MailConnect, QuitsOpenSessionFirst) {
    const Script open = {send("220 a\r\n"), expect(), send("250 hi\r\n"), expect(), send("221 bye\r\n")};
    ScriptedServer server({open, open});
    {
        auto client = makeClient();
        ASSERT_EQ(client->MailConnect(kServer, 25, "", "", kTimeoutMs), 1);
        ASSERT_EQ(client->MailConnect(kServer, 25, "", "", kTimeoutMs), 1);
        EXPECT_EQ(server.accepted(), 2);
        EXPECT_EQ(client->MailConnect("", 25, "", "", kTimeoutMs), 0);
        EXPECT_FALSE(client->connected());
    }
    server.finish();
    EXPECT_EQ(server.received(0), kHelo + "QUIT\r\n");
    EXPECT_EQ(server.received(1), kHelo + "QUIT\r\n");
}

// ---- MailSend ----

struct SendCase {
    const char* name;
    Script afterHelo; // what the server does once the session is open
    MailError error;
    Text text;
    Text transcript; // after HELO, to the end
};

class MailSendTest : public ::testing::TestWithParam<SendCase> {};

TEST_P(MailSendTest, EnvelopeAndFailures) {
    const SendCase& c = GetParam();
    ScriptedServer server({helloThen(c.afterHelo)});
    {
        auto client = makeClient();
        ASSERT_EQ(client->MailConnect(kServer, 25, "", "", kTimeoutMs), 1);
        const mail::MailResult r = client->MailSend("hi", "x", "a@x.cn;b@x.cn", {}, {}, "me@x.cn");
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(r.text, c.text);
    }
    server.finish();
    EXPECT_EQ(server.received(0), kHelo + c.transcript);
}

const Text kEnvelope = "MAIL FROM:<me@x.cn>\r\nRCPT TO:<a@x.cn>\r\nRCPT TO:<b@x.cn>\r\n";

INSTANTIATE_TEST_SUITE_P(
    Branches, MailSendTest,
    ::testing::Values(SendCase{"SenderRefused",
                               {expect(), send("550  sender not welcome \r\n"), expect(), send("250 reset\r\n")},
                               MailError::Refused,
                               "sender not welcome",
                               "MAIL FROM:<me@x.cn>\r\nRSET\r\nQUIT\r\n"},
                      SendCase{"SecondRecipientRefused",
                               {expect(), send("250 ok\r\n"), expect(), send("250 ok\r\n"), expect(),
                                send("550-no such\r\n550 user b\r\n"), expect(), send("250 reset\r\n")},
                               MailError::Refused,
                               "user b",
                               kEnvelope + "RSET\r\nQUIT\r\n"},
                      SendCase{"DataRefused",
                               {expect(), send("250 ok\r\n"), expect(), send("250 ok\r\n"), expect(),
                                send("250 ok\r\n"), expect(), send("554 no data\r\n"), expect(), send("250 reset\r\n")},
                               MailError::Refused,
                               "no data",
                               kEnvelope + "DATA\r\nRSET\r\nQUIT\r\n"},
                      SendCase{"BareCodeRefusal",
                               {expect(), send("550\r\n"), expect(), send("250 reset\r\n")},
                               MailError::Refused,
                               "550",
                               "MAIL FROM:<me@x.cn>\r\nRSET\r\nQUIT\r\n"},
                      // Silence after MAIL FROM: the wait fails, RSET is still sent and its reply awaited.
                      SendCase{"SilentAfterMailFrom",
                               {expect()},
                               MailError::Timeout,
                               gbk(u8"接收数据超时!"),
                               "MAIL FROM:<me@x.cn>\r\nRSET\r\nQUIT\r\n"},
                      SendCase{"ClosedAfterMailFrom",
                               {expect(), hangUp()},
                               MailError::ReceiveFailed,
                               gbk(u8"接收数据失败!"),
                               "MAIL FROM:<me@x.cn>\r\n"},
                      SendCase{"GarbledReply",
                               {expect(), send("what?\r\n"), expect(), send("250 reset\r\n")},
                               MailError::ReceiveFailed,
                               gbk(u8"接收数据失败!"),
                               "MAIL FROM:<me@x.cn>\r\nRSET\r\nQUIT\r\n"}),
    [](const auto& row) { return std::string(row.param.name); });

// The whole message, byte for byte, with Cc, Bcc, display names and a Chinese subject.
TEST(MailSend, MessageBytes) {
    Script rest = {expect(), send("250 ok\r\n")};
    for (int i = 0; i < 4; ++i)
        rest.insert(rest.end(), {expect(), send("250 ok\r\n")});
    rest.insert(rest.end(), {expect(), send("354 go\r\n"), expect(), send("250 queued\r\n")});
    ScriptedServer server({helloThen(rest)});
    const Text subject = gbk(u8"网络监控邮件");
    const Text body = gbk(u8"主机 127.0.0.1 无响应");
    {
        auto client = makeClient();
        ASSERT_EQ(client->MailConnect(kServer, 25, "", "", kTimeoutMs), 1);
        const mail::MailResult r = client->MailSend(subject, body, gbk(u8" 张三 <a@x.cn> ; b@x.cn"), "Ops <c@x.cn>",
                                                    "d@x.cn", " me@x.cn ", "Desk <r@x.cn> trailing");
        EXPECT_TRUE(r.ok()) << r.text.constData();
        EXPECT_TRUE(r.text.isEmpty());
    }
    server.finish();
    const Text expected =
        kHelo +
        "MAIL FROM:<me@x.cn>\r\nRCPT TO:<a@x.cn>\r\nRCPT TO:<b@x.cn>\r\nRCPT TO:<c@x.cn>\r\nRCPT TO:<d@x.cn>\r\n"
        "DATA\r\n"
        "From: me@x.cn\r\n"
        "To: =?gb2312?B?" +
        gbk(u8"张三").toBase64() +
        "?= <a@x.cn>,b@x.cn\r\n"
        "Cc: Ops <c@x.cn>\r\n"
        "Subject: =?gb2312?B?" +
        subject.toBase64() +
        "?=\r\n"
        "Date: Fri, 11 Dec 2026 09:05:07 +0800\r\n"
        "Reply-To: Desk <r@x.cn>\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-type: text/plain; charset=\"gb2312\"\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "\r\n" +
        body.toBase64() +
        "\r\n"
        "\r\n.\r\n"
        "QUIT\r\n";
    EXPECT_EQ(server.received(0), expected);
}

// An empty sender: nothing between the brackets, no Reply-To; an ASCII body is us-ascii.
TEST(MailSend, EmptySender) {
    ScriptedServer server({helloThen({expect(), send("250 ok\r\n"), expect(), send("250 ok\r\n"), expect(),
                                      send("354 go\r\n"), expect(), send("250 ok\r\n")})});
    {
        auto client = makeClient();
        ASSERT_EQ(client->MailConnect(kServer, 25, "", "", kTimeoutMs), 1);
        EXPECT_TRUE(client->MailSend("Hi", "", "a@x.cn", {}, {}, {}).ok());
    }
    server.finish();
    EXPECT_EQ(server.received(0), kHelo + "MAIL FROM:<>\r\nRCPT TO:<a@x.cn>\r\nDATA\r\n"
                                          "From: \r\nTo: a@x.cn\r\nSubject: Hi\r\n"
                                          "Date: Fri, 11 Dec 2026 09:05:07 +0800\r\n"
                                          "MIME-Version: 1.0\r\nContent-type: text/plain; charset=\"us-ascii\"\r\n"
                                          "Content-Transfer-Encoding: base64\r\n\r\n\r\n\r\n.\r\nQUIT\r\n");
}

// Checks made before anything is sent, in their order.
TEST(MailSend, RefusedBeforeTheWire) {
    ScriptedServer server({helloThen({send("221 bye\r\n")})});
    {
        auto client = makeClient();
        struct {
            Text to, from, replyTo;
            MailError error;
            const char8_t* text;
        } const offline[] = {
            {"a@x.cn", "me@x.cn", {}, MailError::NotConnected, u8"未连接到SMTP服务器!"},
            {"a@x.cn, <b@x.cn", "me@x.cn", {}, MailError::BadRecipient, u8"目的邮件地址格式错误!"},
            {"a@x.cn", "Me <me@x.cn", {}, MailError::BadSender, u8"发信人邮件地址格式错误!"},
            {"a@x.cn", "me@x.cn", "<r", MailError::BadReplyTo, u8"回复邮件地址格式错误!"},
            {"a@x.cn>\r\nRCPT TO:<evil@x.cn", "me@x.cn", {}, MailError::BadRecipient, u8"目的邮件地址格式错误!"},
            {"a@x.cn", "me@x.cn\r\nBcc: evil@x.cn", {}, MailError::BadSender, u8"发信人邮件地址格式错误!"},
            {"a@x.cn", "me@x.cn", QByteArray("r@x.cn\0x", 8), MailError::BadReplyTo, u8"回复邮件地址格式错误!"},
        };
        for (const auto& c : offline) {
            const mail::MailResult r = client->MailSend("s", "b", c.to, {}, {}, c.from, c.replyTo);
            EXPECT_EQ(r.error, c.error) << c.to.constData();
            EXPECT_EQ(r.text, gbk(c.text));
        }
        ASSERT_EQ(client->MailConnect(kServer, 25, "", "", kTimeoutMs), 1);
        const mail::MailResult r = client->MailSend("s", "b", " ; ,  <> ", {}, {}, "me@x.cn");
        EXPECT_EQ(r.error, MailError::NoRecipient);
        EXPECT_EQ(r.text, gbk(u8"未指定发送地址!"));
    }
    server.finish();
    EXPECT_EQ(server.received(0), kHelo + "QUIT\r\n");
}

// A session closed by the server between mails: the next mail fails without
// killing the process, the one after finds no session, and a reconnect works.
TEST(MailSend, StaleSession) {
    ScriptedServer server({{send("220 a\r\n"), expect(), send("250 hi\r\n"), hangUp()},
                           {send("220 b\r\n"), expect(), send("250 hi\r\n"), expect(), send("221 bye\r\n")}});
    auto client = makeClient();
    ASSERT_EQ(client->MailConnect(kServer, 25, "", "", kTimeoutMs), 1);
    QThread::msleep(100);
    const mail::MailResult first = client->MailSend("s", "b", "a@x.cn", {}, {}, "me@x.cn");
    EXPECT_TRUE(first.error == MailError::ReceiveFailed || first.error == MailError::SendFailed);
    EXPECT_EQ(client->MailSend("s", "b", "a@x.cn", {}, {}, "me@x.cn").error, MailError::NotConnected);
    EXPECT_EQ(client->MailConnect(kServer, 25, "", "", kTimeoutMs), 1);
}
