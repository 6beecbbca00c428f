#include "mail/smtp_reply.h"

namespace mail {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

platform::Text cleaned(QByteArrayView text) {
    platform::Text out = text.toByteArray();
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    return out.trimmed();
}

} // namespace

ReplyParse parseReply(QByteArrayView data, Reply& reply, qsizetype& consumed) {
    reply = Reply{};
    consumed = 0;
    qsizetype start = 0;
    const qsizetype limit = qMin(data.size(), kMaxReplyBytes);
    while (start < limit) {
        const qsizetype lf = data.indexOf('\n', start);
        if (lf < 0 || lf >= limit)
            break;
        QByteArrayView line = data.sliced(start, lf - start);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.size() < 3 || !isDigit(line[0]) || !isDigit(line[1]) || !isDigit(line[2]))
            return ReplyParse::Malformed;
        const QByteArrayView rest = line.size() > 4 ? line.sliced(4) : QByteArrayView();
        reply.lines.append(rest.toByteArray());
        start = lf + 1;
        // A bare code ends the reply too: RFC 5321 allows "250" CRLF as a last line.
        if (line.size() == 3 || line[3] == ' ') {
            reply.code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
            reply.text = cleaned(rest);
            consumed = start;
            return ReplyParse::Complete;
        }
    }
    if (data.size() >= kMaxReplyBytes)
        return ReplyParse::Malformed;
    reply = Reply{};
    return ReplyParse::Incomplete;
}

} // namespace mail
