// The address parser and the header items made from what it accepts: no
// accepted text may end a command or header line early.
#include "mail/address.h"
#include "mail/message_format.h"

#include <cstdlib>

namespace {

void checkItem(const QByteArray& item) {
    // The only line breaks in a header value are the folds between encoded words.
    for (qsizetype i = 0; i < item.size(); ++i) {
        const char c = item[i];
        if (c == '\0')
            std::abort();
        if (c == '\n' && (i == 0 || item[i - 1] != '\r' || i + 1 >= item.size() || item[i + 1] != ' '))
            std::abort();
        if (c == '\r' && (i + 1 >= item.size() || item[i + 1] != '\n'))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    QList<mail::Address> list;
    if (mail::parseAddressList(input, list)) {
        for (const mail::Address& a : list) {
            if (a.address.isEmpty() || a.address.contains('\r') || a.address.contains('\n') || a.address.contains('\0'))
                std::abort();
            if (a.address.contains(',') || a.address.contains(';'))
                std::abort();
        }
        checkItem(mail::formatAddressItems(list));
    }
    mail::Address one;
    if (mail::parseAddress(input, one)) {
        if (one.address != one.address.trimmed() || one.name != one.name.trimmed())
            std::abort();
        checkItem(mail::formatAddressItem(one));
    }
    return 0;
}
