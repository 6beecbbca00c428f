#pragma once
// Mail addresses as typed into the settings: "addr" or "Display Name <addr>".
//
// Error contract: the parsers return false for a malformed text and leave
// their output unspecified; they never throw.

#include "platform/controls.h"

#include <QByteArrayView>
#include <QList>

namespace mail {

struct Address {
    platform::Text name;    // display name, empty when none
    platform::Text address; // empty when none was given
};

// One piece. Without "<" the piece is a bare address; with "<" the display name
// is what comes before the first "<" and the address what lies between it and
// the next ">" (anything after that is ignored). Both are trimmed. Malformed:
// a "<" without a ">" after it, or a CR, LF or NUL left in the name or the
// address, which could otherwise start a new command or header line.
bool parseAddress(QByteArrayView piece, Address& out);

// A recipient list split at every "," and ";"; pieces whose address is empty are skipped.
bool parseAddressList(QByteArrayView text, QList<Address>& out);

} // namespace mail
