#pragma once
// The one place where the program's Unicode text meets the GBK bytes that
// leave it (the window's control operations, mail, set.ini).
//
// toUnicode never fails: a byte sequence that is not GBK becomes U+FFFD.
// fromUnicode never fails: a character GBK cannot hold becomes '?'.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace platform::codepage {

QString toUnicode(QByteArrayView gbk);
QByteArray fromUnicode(QStringView text);

// The program's own fixed texts are written in the sources as UTF-8 literals.
inline QByteArray gbk(const char8_t* utf8) {
    return fromUnicode(QString::fromUtf8(reinterpret_cast<const char*>(utf8)));
}

} // namespace platform::codepage
