#include "platform/codepage.h"

#include <cerrno>
#include <iconv.h>

namespace platform::codepage {
namespace {

// glibc's converters are not thread-safe per descriptor; the program runs on
// one thread, but tests and fuzzers may not, so each call opens its own.
class Iconv {
public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok())
            iconv_close(m_cd);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return m_cd; }

private:
    iconv_t m_cd;
};

} // namespace

QString toUnicode(QByteArrayView gbk) {
    QString out;
    if (gbk.isEmpty())
        return out;
    Iconv cd("UTF-16LE", "GBK");
    if (!cd.ok())
        return QString::fromLatin1(gbk.data(), gbk.size());
    out.reserve(gbk.size());
    const char* in = gbk.data();
    size_t inLeft = static_cast<size_t>(gbk.size());
    char16_t buf[512];
    while (inLeft > 0) {
        char* outPtr = reinterpret_cast<char*>(buf);
        size_t outLeft = sizeof(buf);
        size_t r = iconv(cd.get(), const_cast<char**>(&in), &inLeft, &outPtr, &outLeft);
        out.append(QStringView(buf, (sizeof(buf) - outLeft) / sizeof(char16_t)));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            // EILSEQ or EINVAL (a lead byte at the end): replace one byte.
            out.append(QChar(QChar::ReplacementCharacter));
            ++in;
            --inLeft;
            iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

QByteArray fromUnicode(QStringView text) {
    QByteArray out;
    if (text.isEmpty())
        return out;
    Iconv cd("GBK", "UTF-16LE");
    if (!cd.ok())
        return text.toLatin1();
    out.reserve(text.size() * 2);
    const char* in = reinterpret_cast<const char*>(text.utf16());
    size_t inLeft = static_cast<size_t>(text.size()) * sizeof(char16_t);
    char buf[1024];
    while (inLeft > 0) {
        char* outPtr = buf;
        size_t outLeft = sizeof(buf);
        size_t r = iconv(cd.get(), const_cast<char**>(&in), &inLeft, &outPtr, &outLeft);
        out.append(buf, static_cast<qsizetype>(sizeof(buf) - outLeft));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            // Unmappable character or lone surrogate: one '?' per character.
            out.append('?');
            const char16_t c = *reinterpret_cast<const char16_t*>(in);
            size_t step = sizeof(char16_t);
            if (QChar::isHighSurrogate(c) && inLeft >= 2 * sizeof(char16_t) &&
                QChar::isLowSurrogate(*reinterpret_cast<const char16_t*>(in + 2)))
                step *= 2;
            in += step;
            inLeft -= step;
            iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

} // namespace platform::codepage
