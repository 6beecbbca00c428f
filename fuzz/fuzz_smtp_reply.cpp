// The SMTP reply reader on arbitrary received bytes.
#include "mail/smtp_reply.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    mail::Reply reply;
    qsizetype consumed = -1;
    const mail::ReplyParse parse = mail::parseReply(input, reply, consumed);
    if (parse != mail::ReplyParse::Complete)
        return 0;
    if (consumed <= 0 || consumed > input.size() || reply.code < 0 || reply.code > 999 || reply.lines.isEmpty())
        std::abort();
    for (char c : reply.text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            std::abort();
    // The reply stands on its own bytes: the rest of the input does not change it.
    mail::Reply again;
    qsizetype consumedAgain = 0;
    if (mail::parseReply(input.first(consumed), again, consumedAgain) != mail::ReplyParse::Complete ||
        consumedAgain != consumed || again.code != reply.code || again.text != reply.text)
        std::abort();
    return 0;
}
