#pragma once
// The monitoring mail and the test mail, through the process's one SMTP session.

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

private:
    platform::Controls& m_controls;
};

} // namespace mail
