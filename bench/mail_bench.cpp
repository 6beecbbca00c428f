// Measurements of the mail facility, run by bench/mail.sh inside a network
// namespace of its own:
//   mail_bench send N   N monitoring mails through the server on 127.0.0.1:25
//   mail_bench silent   how long one mail blocks the window when the server falls silent
#include "mail/mail_notification.h"
#include "platform/codepage.h"
#include "tests/mail/fake_controls.h"
#include "tests/mail/scripted_server.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

using namespace mailtest;

namespace {

platform::Text alertBody() {
    QString text;
    for (int i = 1; i <= 20; ++i)
        text += QStringLiteral("127.0.0.%1\r\n").arg(i);
    return platform::codepage::fromUnicode(text);
}

double msSince(const QElapsedTimer& clock) {
    return double(clock.nsecsElapsed()) / 1e6;
}

int sendMails(int count) {
    FakeWindow window;
    window.setMail("127.0.0.1", "me@x.cn", "s3cret", "ops@x.cn,duty@x.cn");
    const platform::Text body = alertBody();

    // One mail alone, for the bytes on the wire.
    quint64 sent = 0, received = 0;
    {
        mail::MailNotifier notifier(window.controls);
        if (notifier.SendMonitorMail(body) != 1) {
            std::fprintf(stderr, "the mail was not accepted\n");
            return 1;
        }
        sent = notifier.client().socket().bytesSent();
        received = notifier.client().socket().bytesReceived();
    }

    // A series, as the monitoring tick sends them: each mail first closes the previous session.
    std::vector<double> ms;
    {
        mail::MailNotifier notifier(window.controls);
        for (int i = 0; i < count; ++i) {
            QElapsedTimer clock;
            clock.start();
            if (notifier.SendMonitorMail(body) != 1) {
                std::fprintf(stderr, "mail %d was not accepted\n", i);
                return 1;
            }
            ms.push_back(msSince(clock));
        }
    }
    std::sort(ms.begin(), ms.end());
    std::printf("| measure | value |\n|---|---|\n");
    std::printf("| body bytes (GBK) | %lld |\n", static_cast<long long>(body.size()));
    std::printf("| bytes sent, one mail (connect to accepted) | %llu |\n", static_cast<unsigned long long>(sent));
    std::printf("| bytes received, one mail | %llu |\n", static_cast<unsigned long long>(received));
    std::printf("| mails in series | %d |\n", count);
    std::printf("| wall time per mail, median | %.2f ms |\n", ms[ms.size() / 2]);
    std::printf("| wall time per mail, max | %.2f ms |\n", ms.back());
    return 0;
}

// The replies of a mail with AUTH LOGIN, in order; the server answers the
// first `answered` of them and then reads on in silence.
const char* const kReplies[] = {
    "220 ready\r\n",        "250-mx\r\n250 AUTH LOGIN\r\n",
    "334 VXNlcm5hbWU6\r\n", "334 UGFzc3dvcmQ6\r\n",
    "235 ok\r\n",           "250 sender ok\r\n",
    "250 rcpt ok\r\n",      "354 go on\r\n",
    "250 queued\r\n",
};
const char* const kSilentAt[] = {"greeting",  "EHLO",    "AUTH LOGIN", "account",       "password",
                                 "MAIL FROM", "RCPT TO", "DATA",       "end of message"};

int silentServers() {
    std::printf(
        "| server falls silent at | SendMonitorMail blocks | closing QUIT blocks | result |\n|---|---|---|---|\n");
    double worst = 0;
    for (int answered = 0; answered < 9; ++answered) {
        Script script;
        for (int i = 0; i < answered; ++i) {
            if (i > 0)
                script.push_back(expect());
            script.push_back(send(kReplies[i]));
        }
        ScriptedServer server({script});
        if (!server.listening()) {
            std::fprintf(stderr, "cannot listen on 127.0.0.1:25\n");
            return 1;
        }
        FakeWindow window;
        window.setMail("127.0.0.1", "me@x.cn", "s3cret", "ops@x.cn");
        auto notifier = std::make_unique<mail::MailNotifier>(window.controls);
        QElapsedTimer clock;
        clock.start();
        const int result = notifier->SendMonitorMail(alertBody());
        const double mailMs = msSince(clock);
        clock.restart();
        notifier.reset();
        const double quitMs = msSince(clock);
        worst = std::max(worst, mailMs + quitMs);
        std::printf("| %s | %.0f ms | %.0f ms | %d%s |\n", kSilentAt[answered], mailMs, quitMs, result,
                    window.messageBox.shown.isEmpty() ? "" : ", box");
        server.finish();
    }
    std::printf("| worst, mail and its QUIT | %.0f ms | | |\n", worst);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "send") == 0)
        return sendMails(argc >= 3 ? std::max(1, std::atoi(argv[2])) : 20);
    if (argc >= 2 && std::strcmp(argv[1], "silent") == 0)
        return silentServers();
    std::fprintf(stderr, "usage: mail_bench send [N] | silent\n");
    return 2;
}
