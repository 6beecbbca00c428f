#pragma once
// The monitoring mail and the test mail, through the process's one SMTP session.
//
// Error contract: SendMonitorMail() returns 1 when the server accepted the
// mail and 0 otherwise; the only failure it shows is the box
// "连接发信服务器失败" when no session could be opened. Nothing throws.

#include "mail/smtp_client.h"
#include "platform/controls.h"

namespace mail {

class MailNotifier {
public:
    explicit MailNotifier(platform::Controls& controls);
    ~MailNotifier(); // closes a session that is still open
    MailNotifier(const MailNotifier&) = delete;
    MailNotifier& operator=(const MailNotifier&) = delete;

    int SendMonitorMail(const platform::Text& body); // 1 when handed to the server
    void testMail();                                 // the click handler of 按钮1 "发件测试"

    const SmtpClient& client() const { return m_client; }

    static constexpr quint16 kPort = 25;
    static constexpr int kReplyTimeoutMs = 3000;

private:
    platform::Controls& m_controls;
    SmtpClient m_client;
};

} // namespace mail
