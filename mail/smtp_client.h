#pragma once
// The process's one SMTP session: plain TCP, optional AUTH LOGIN or PLAIN.
//
// Error contract: MailConnect() returns 1 when a session is open (logged in
// where a login was made) and 0 otherwise, leaving no session behind.
// MailSend() returns a MailResult: `error` is the machine-readable outcome
// (MailError::None when the server accepted the message), `text` the
// human-readable one: empty on success, else the server's last reply line
// after its code (trimmed) or one of the fixed texts below, in GBK.
// Nothing throws. Every wait for a reply fails after timeoutMs without data,
// counted from the last data received, and at once when the server has
// closed the stream.

#include "mail/smtp_reply.h"
#include "platform/controls.h"
#include "platform/tcp.h"

#include <functional>

namespace mail {

enum class MailError {
    None,
    BadRecipient,  // "目的邮件地址格式错误!"
    BadSender,     // "发信人邮件地址格式错误!"
    BadReplyTo,    // "回复邮件地址格式错误!"
    NotConnected,  // "未连接到SMTP服务器!"
    NoRecipient,   // "未指定发送地址!"
    SendFailed,    // "发送数据失败!"
    Timeout,       // "接收数据超时!"
    ReceiveFailed, // "接收数据失败!": the stream ended or was not SMTP
    Refused,       // the server's reply text; replyCode holds its code
};

struct MailResult {
    MailError error = MailError::None;
    int replyCode = 0; // the code of the refusing reply, for MailError::Refused
    platform::Text text;
    bool ok() const { return error == MailError::None; }
};

class SmtpClient {
public:
    using Clock = std::function<platform::LocalTime()>;
    using HostName = std::function<platform::Text()>;

    SmtpClient();
    SmtpClient(Clock clock, HostName hostName); // for tests: a fixed date, a fixed EHLO name
    ~SmtpClient();                              // closes a session that is still open
    SmtpClient(const SmtpClient&) = delete;
    SmtpClient& operator=(const SmtpClient&) = delete;

    // Closes a session that is still open first (QUIT).
    int MailConnect(const platform::Text& server, quint16 port, const platform::Text& account,
                    const platform::Text& password, int timeoutMs);
    // cc, bcc and replyTo may be empty; an empty replyTo means from.
    MailResult MailSend(const platform::Text& subject, const platform::Text& body, const platform::Text& to,
                        const platform::Text& cc = {}, const platform::Text& bcc = {}, const platform::Text& from = {},
                        const platform::Text& replyTo = {});

    bool connected() const { return m_socket.isOpen(); }
    void close(); // QUIT, its reply awaited, then the connection closed

    const platform::TcpSocket& socket() const { return m_socket; }

    // The connection attempt's bound; the system's own is about two minutes.
    static constexpr int kConnectTimeoutMs = 10000;

private:
    enum class Wait { Ok, Timeout, Closed, Malformed };

    bool sendText(QByteArrayView data);
    Wait readReply(Reply& reply);
    bool login(const Reply& ehlo, const platform::Text& account, const platform::Text& password);
    MailResult failure(MailError error) const;

    platform::TcpSocket m_socket;
    QByteArray m_received;
    int m_timeoutMs = 3000;
    Clock m_clock;
    HostName m_hostName;
};

} // namespace mail
