#include "mail/smtp_client.h"

#include "mail/address.h"
#include "mail/message_format.h"
#include "platform/codepage.h"

namespace mail {

namespace {

using platform::Text;

bool sameWord(QByteArrayView a, const char* b) {
    return a.compare(QByteArrayView(b), Qt::CaseInsensitive) == 0;
}

struct Capabilities {
    bool login = false;
    bool plain = false;
};

// The lines of a 250 reply to EHLO, each a keyword and its parameters.
Capabilities authCapabilities(const Reply& ehlo) {
    Capabilities caps;
    bool authLine = false;
    bool oldLoginLine = false;
    for (const Text& line : ehlo.lines) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.isEmpty() || words.first().isEmpty())
            continue;
        if (sameWord(words.first(), "AUTH") && !authLine) {
            authLine = true;
            for (qsizetype i = 1; i < words.size(); ++i) {
                caps.login = caps.login || sameWord(words[i], "LOGIN");
                caps.plain = caps.plain || sameWord(words[i], "PLAIN");
            }
        } else if (sameWord(words.first(), "AUTH=LOGIN")) {
            oldLoginLine = true;
        }
    }
    if (!authLine && oldLoginLine)
        caps.login = true;
    return caps;
}

Text fixedText(MailError error) {
    switch (error) {
    case MailError::BadRecipient:
        return platform::codepage::gbk(u8"目的邮件地址格式错误!");
    case MailError::BadSender:
        return platform::codepage::gbk(u8"发信人邮件地址格式错误!");
    case MailError::BadReplyTo:
        return platform::codepage::gbk(u8"回复邮件地址格式错误!");
    case MailError::NotConnected:
        return platform::codepage::gbk(u8"未连接到SMTP服务器!");
    case MailError::NoRecipient:
        return platform::codepage::gbk(u8"未指定发送地址!");
    case MailError::SendFailed:
        return platform::codepage::gbk(u8"发送数据失败!");
    case MailError::Timeout:
        return platform::codepage::gbk(u8"接收数据超时!");
    case MailError::ReceiveFailed:
        return platform::codepage::gbk(u8"接收数据失败!");
    case MailError::None:
    case MailError::Refused:
        break;
    }
    return {};
}

} // namespace

SmtpClient::SmtpClient() : SmtpClient(platform::localTime, platform::localHostName) {}

SmtpClient::SmtpClient(Clock clock, HostName hostName) : m_clock(std::move(clock)), m_hostName(std::move(hostName)) {}

SmtpClient::~SmtpClient() {
    close();
}

bool SmtpClient::sendText(QByteArrayView data) {
    return m_socket.sendAll(data);
}

SmtpClient::Wait SmtpClient::readReply(Reply& reply) {
    for (;;) {
        qsizetype consumed = 0;
        switch (parseReply(m_received, reply, consumed)) {
        case ReplyParse::Complete:
            m_received.remove(0, consumed);
            return Wait::Ok;
        case ReplyParse::Malformed:
            m_received.clear();
            return Wait::Malformed;
        case ReplyParse::Incomplete:
            break;
        }
        switch (m_socket.receive(m_received, m_timeoutMs)) {
        case platform::TcpSocket::ReceiveStatus::Data:
            break;
        case platform::TcpSocket::ReceiveStatus::Timeout:
            return Wait::Timeout;
        case platform::TcpSocket::ReceiveStatus::Closed:
        case platform::TcpSocket::ReceiveStatus::Error:
            // Nothing more can come: the session is over.
            m_socket.close();
            m_received.clear();
            return Wait::Closed;
        }
    }
}

void SmtpClient::close() {
    if (!m_socket.isOpen())
        return;
    if (sendText("QUIT\r\n")) {
        Reply ignored;
        readReply(ignored);
    }
    m_socket.close();
    m_received.clear();
}

bool SmtpClient::login(const Reply& ehlo, const Text& account, const Text& password) {
    const Capabilities caps = authCapabilities(ehlo);
    QList<Text> steps;
    if (caps.login) {
        steps = {"AUTH LOGIN\r\n", account.toBase64() + "\r\n", password.toBase64() + "\r\n"};
    } else if (caps.plain) {
        steps = {"AUTH PLAIN\r\n",
                 (QByteArray(1, '\0') + account + QByteArray(1, '\0') + password).toBase64() + "\r\n"};
    } else {
        return true; // nothing offered that we speak: the session stays open without a login
    }
    for (qsizetype i = 0; i < steps.size(); ++i) {
        Reply reply;
        if (!sendText(steps[i]) || readReply(reply) != Wait::Ok)
            return false;
        const bool last = i + 1 == steps.size();
        if (last || reply.code != 334)
            return reply.code == 235;
    }
    return false;
}

int SmtpClient::MailConnect(const Text& server, quint16 port, const Text& account, const Text& password,
                            int timeoutMs) {
    close();
    m_timeoutMs = timeoutMs;
    if (server.isEmpty())
        return 0;
    if (!m_socket.connect(server, port, kConnectTimeoutMs)) {
        m_socket.close();
        return 0;
    }
    m_received.clear();

    const auto opened = [&]() -> bool {
        Reply reply;
        if (readReply(reply) != Wait::Ok || reply.code != 220)
            return false;
        const Text host = m_hostName();
        if (!account.isEmpty() && !password.isEmpty()) {
            if (!sendText("EHLO " + host + "\r\n") || readReply(reply) != Wait::Ok)
                return false;
            if (reply.code == 250)
                return login(reply, account, password);
        }
        return sendText("HELO " + host + "\r\n") && readReply(reply) == Wait::Ok && reply.code == 250;
    };
    if (opened())
        return 1;
    close();
    return 0;
}

MailResult SmtpClient::failure(MailError error) const {
    return MailResult{error, 0, fixedText(error)};
}

MailResult SmtpClient::MailSend(const Text& subject, const Text& body, const Text& to, const Text& cc, const Text& bcc,
                                const Text& from, const Text& replyTo) {
    QList<Address> toList, ccList, bccList;
    if (!parseAddressList(to, toList) || !parseAddressList(cc, ccList) || !parseAddressList(bcc, bccList))
        return failure(MailError::BadRecipient);
    Address sender, replyAddress;
    if (!parseAddress(from, sender))
        return failure(MailError::BadSender);
    if (!parseAddress(replyTo.isEmpty() ? from : replyTo, replyAddress))
        return failure(MailError::BadReplyTo);
    if (!m_socket.isOpen())
        return failure(MailError::NotConnected);
    if (toList.isEmpty() && ccList.isEmpty() && bccList.isEmpty())
        return failure(MailError::NoRecipient);

    bool mailFromSent = false;
    // Sends one command (or the message) and checks its reply code.
    const auto step = [&](QByteArrayView command, int expected) -> MailResult {
        if (!sendText(command))
            return failure(MailError::SendFailed);
        Reply reply;
        switch (readReply(reply)) {
        case Wait::Ok:
            break;
        case Wait::Timeout:
            return failure(MailError::Timeout);
        case Wait::Closed:
        case Wait::Malformed:
            return failure(MailError::ReceiveFailed);
        }
        if (reply.code == expected)
            return MailResult{};
        // A bare code carries no text; the result must still say that it failed.
        const Text text = reply.text.isEmpty() ? QByteArray::number(reply.code) : reply.text;
        return MailResult{MailError::Refused, reply.code, text};
    };
    const auto failed = [&](MailResult result) {
        if (mailFromSent && m_socket.isOpen() && sendText("RSET\r\n")) {
            Reply ignored;
            readReply(ignored);
        }
        return result;
    };

    mailFromSent = true;
    MailResult r = step("MAIL FROM:<" + sender.address + ">\r\n", 250);
    if (!r.ok()) {
        // A MAIL FROM that could not even be sent was not sent.
        if (r.error == MailError::SendFailed)
            mailFromSent = false;
        return failed(r);
    }
    for (const QList<Address>* list : {&toList, &ccList, &bccList}) {
        for (const Address& a : *list) {
            r = step("RCPT TO:<" + a.address + ">\r\n", 250);
            if (!r.ok())
                return failed(r);
        }
    }
    r = step("DATA\r\n", 354);
    if (!r.ok())
        return failed(r);

    Text header = "From: " + formatAddressItem(sender) + "\r\nTo: " + formatAddressItems(toList) + "\r\n";
    if (!ccList.isEmpty())
        header += "Cc: " + formatAddressItems(ccList) + "\r\n";
    header += "Subject: " + encodeHeaderText(subject) + "\r\nDate: " + formatDate(m_clock()) + "\r\n";
    if (!replyAddress.address.isEmpty())
        header += "Reply-To: " + formatAddressItem(replyAddress) + "\r\n";
    header += "MIME-Version: 1.0\r\nContent-type: text/plain; charset=\"" + bodyCharset(body) +
              "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    if (!sendText(header))
        return failed(failure(MailError::SendFailed));
    r = step(encodeBody(body) + "\r\n.\r\n", 250);
    if (!r.ok())
        return failed(r);
    return MailResult{};
}

} // namespace mail
