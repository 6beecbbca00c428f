#include "mail/message_format.h"

#include <cstdio>
#include <cstdlib>

namespace mail {

namespace {

bool isAscii(QByteArrayView text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// The most bytes whose base64 form stays within kMaxEncodedChars.
constexpr qsizetype kMaxWordBytes = kMaxEncodedChars / 4 * 3;

} // namespace

platform::Text encodeHeaderText(QByteArrayView text) {
    if (isAscii(text))
        return text.toByteArray();
    platform::Text out;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = pos;
        for (;;) {
            if (end >= text.size())
                break;
            // A lead byte of 0x80 or above starts a double-byte character.
            const qsizetype len = static_cast<unsigned char>(text[end]) >= 0x80 && end + 1 < text.size() ? 2 : 1;
            if (end + len - pos > kMaxWordBytes)
                break;
            end += len;
        }
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?gb2312?B?" + text.sliced(pos, end - pos).toByteArray().toBase64() + "?=";
        pos = end;
    }
    return out;
}

platform::Text formatAddressItem(const Address& address) {
    if (address.name.isEmpty())
        return address.address;
    return encodeHeaderText(address.name) + " <" + address.address + ">";
}

platform::Text formatAddressItems(const QList<Address>& addresses) {
    platform::Text out;
    for (const Address& a : addresses) {
        if (!out.isEmpty())
            out += ',';
        out += formatAddressItem(a);
    }
    return out;
}

platform::Text formatDate(const platform::LocalTime& t) {
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int offset = std::abs(t.utcOffsetMinutes);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s, %02d %s %d %02d:%02d:%02d %c%02d%02d", days[qBound(0, t.weekday, 6)],
                  t.day, months[qBound(1, t.month, 12) - 1], t.year, t.hour, t.minute, t.second,
                  t.utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return platform::Text(buffer);
}

platform::Text bodyCharset(QByteArrayView body) {
    return isAscii(body) ? "us-ascii" : "gb2312";
}

platform::Text encodeBody(QByteArrayView body) {
    const QByteArray encoded = body.toByteArray().toBase64();
    platform::Text out;
    out.reserve(encoded.size() + encoded.size() / 76 * 2 + 4);
    for (qsizetype pos = 0; pos < encoded.size(); pos += 76)
        out += encoded.mid(pos, 76) + "\r\n";
    if (encoded.size() % 76 == 0)
        out += "\r\n";
    return out;
}

} // namespace mail
