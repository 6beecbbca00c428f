#include "mail/mail_notification.h"

namespace mail {

MailNotifier::MailNotifier(platform::Controls& controls) : m_controls(controls) {}

MailNotifier::~MailNotifier() = default;

int MailNotifier::SendMonitorMail(const platform::Text&) { return 0; }

void MailNotifier::testMail() {}

} // namespace mail
