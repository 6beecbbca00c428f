#pragma once
// The pieces of a plain-text mail in GBK: header values, the date and the body.
//
// Error contract: pure functions on bytes; they cannot fail and never throw.

#include "mail/address.h"
#include "platform/tcp.h"

#include <QByteArrayView>
#include <QList>

namespace mail {

// Unchanged when every byte is below 0x80, else RFC 2047 "B" words in gb2312,
// each holding whole characters and at most kMaxEncodedChars base64 characters,
// every word after the first folded onto its own line with "\r\n ".
inline constexpr int kMaxEncodedChars = 62;
platform::Text encodeHeaderText(QByteArrayView text);

// "name <addr>" with the name encoded, or the bare address; items joined with ",".
platform::Text formatAddressItem(const Address& address);
platform::Text formatAddressItems(const QList<Address>& addresses);

// "Fri, 11 Dec 2026 12:00:27 +0800": English names whatever the locale.
platform::Text formatDate(const platform::LocalTime& time);

// "us-ascii" when every byte is below 0x80, else "gb2312".
platform::Text bodyCharset(QByteArrayView body);

// Base64 in lines of 76, each ended by "\r\n"; the last group is always
// followed by "\r\n", so an empty body is one empty line.
platform::Text encodeBody(QByteArrayView body);

} // namespace mail
