#include "mail/mail_notification.h"

#include "platform/codepage.h"

namespace mail {

using platform::codepage::gbk;

MailNotifier::MailNotifier(platform::Controls& controls) : m_controls(controls) {}

MailNotifier::~MailNotifier() = default; // the client's destructor sends QUIT

int MailNotifier::SendMonitorMail(const platform::Text& body) {
    const platform::Text server = m_controls.编辑框2->text();
    const platform::Text account = m_controls.编辑框3->text();
    const platform::Text password = m_controls.编辑框4->text();
    if (m_client.MailConnect(server, kPort, account, password, kReplyTimeoutMs) != 1) {
        m_controls.messageBox->show(gbk(u8"连接发信服务器失败"));
        return 0;
    }
    const platform::Text recipient = m_controls.编辑框5->text();
    const platform::Text sender = m_controls.编辑框3->text();
    return m_client.MailSend(gbk(u8"网络监控邮件"), body, recipient, {}, {}, sender, {}).ok() ? 1 : 0;
}

void MailNotifier::testMail() {
    if (SendMonitorMail(gbk(u8"这是一封测试邮件")) == 1)
        m_controls.messageBox->show(gbk(u8"邮件发送成功"));
}

} // namespace mail
