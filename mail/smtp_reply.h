#pragma once
// Reading SMTP replies out of received bytes, without a socket.
//
// Error contract: parseReply() never throws; it reports Incomplete when more
// bytes are needed and Malformed when the bytes cannot be a reply (a line that
// does not start with three digits, or a reply longer than kMaxReplyBytes).

#include "platform/controls.h"

#include <QByteArrayView>
#include <QList>

namespace mail {

struct Reply {
    int code = 0;                // the three-digit code of the last line
    platform::Text text;         // the last line after its code, trimmed, control bytes blanked
    QList<platform::Text> lines; // every line after its code and one separator, as received
};

enum class ReplyParse { Complete, Incomplete, Malformed };

// More than this without a last line is not a reply but a flood.
inline constexpr qsizetype kMaxReplyBytes = 64 * 1024;

// Reads one reply from the front of data. On Complete, consumed is the number
// of bytes it took (a following reply stays for the next call).
// A line is "ddd text" (the last line), "ddd-text" or "ddd" plus any other
// byte (a continuation), or the bare "ddd" (also a last line), ended by LF
// with an optional CR before it.
ReplyParse parseReply(QByteArrayView data, Reply& reply, qsizetype& consumed);

} // namespace mail
