#include "mail/address.h"

namespace mail {

namespace {

bool unsafe(const platform::Text& text) {
    return text.contains('\r') || text.contains('\n') || text.contains('\0');
}

} // namespace

bool parseAddress(QByteArrayView piece, Address& out) {
    out = Address{};
    const qsizetype open = piece.indexOf('<');
    if (open < 0) {
        out.address = piece.toByteArray().trimmed();
    } else {
        const qsizetype close = piece.indexOf('>', open + 1);
        if (close < 0)
            return false;
        out.name = piece.first(open).toByteArray().trimmed();
        out.address = piece.sliced(open + 1, close - open - 1).toByteArray().trimmed();
    }
    return !unsafe(out.name) && !unsafe(out.address);
}

bool parseAddressList(QByteArrayView text, QList<Address>& out) {
    out.clear();
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != ',' && text[end] != ';')
            ++end;
        Address a;
        if (!parseAddress(text.sliced(start, end - start), a))
            return false;
        if (!a.address.isEmpty())
            out.append(a);
        start = end + 1;
    }
    return true;
}

} // namespace mail
