// SplitText on arbitrary bytes, with "\r\n" and with a delimiter taken from
// the input: the elements joined by the delimiter give the text back (less
// one trailing delimiter), and no element holds the delimiter at a
// character boundary.
#include "monitor/host_sweep.h"

#include <cstdint>
#include <cstdlib>

namespace {

bool holdsAtBoundary(QByteArrayView s, QByteArrayView delimiter) {
    for (qsizetype i = 0; i < s.size();) {
        if (s.sliced(i).startsWith(delimiter))
            return true;
        i += static_cast<unsigned char>(s[i]) >= 0x80 ? 2 : 1;
    }
    return false;
}

void check(QByteArrayView text, QByteArrayView delimiter) {
    const std::vector<platform::Text> parts = monitor::SplitText(text, delimiter);
    platform::Text joined;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            joined += delimiter;
        joined += parts[i];
        if (holdsAtBoundary(parts[i], delimiter))
            std::abort();
    }
    if (joined != text && joined + delimiter.toByteArray() != text)
        std::abort();
    if (text.isEmpty() != parts.empty())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView all(reinterpret_cast<const char*>(data), qsizetype(size));
    check(all, "\r\n");
    if (size > 1) {
        const qsizetype n = 1 + data[0] % 3;
        if (qsizetype(size) > n)
            check(all.sliced(1 + n), all.sliced(1, n));
    }
    return 0;
}
