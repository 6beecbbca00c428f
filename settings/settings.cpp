#include "settings/settings.h"

#include "platform/codepage.h"
#include "platform/profile.h"

#include <QDir>

namespace settings {
namespace {

using platform::Text;

struct Row {
    const char* section;
    const char* key;
    platform::TextBox* platform::Controls::*box;
};

// The order of every load and every save.
constexpr Row kRows[] = {
    {"IP", "IP", &platform::Controls::编辑框1},     {"mail", "server", &platform::Controls::编辑框2},
    {"mail", "send", &platform::Controls::编辑框3}, {"mail", "password", &platform::Controls::编辑框4},
    {"mail", "rec", &platform::Controls::编辑框5},
};

QString settingsPath(const QString& programDirectory) {
    return programDirectory + QStringLiteral("/set.ini");
}

bool isAddressList(const Row& row) {
    return row.box == &platform::Controls::编辑框1;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

Text encodeAddressList(const Text& list) {
    // '%' (0x25), CR and LF are never part of a GBK double-byte character, so
    // the list needs no decoding to be escaped, valid GBK or not.
    Text out;
    out.reserve(list.size() + list.size() / 8);
    for (char c : list) {
        if (c == '%')
            out.append("%25");
        else if (c == '\r')
            out.append("%0D");
        else if (c == '\n')
            out.append("%0A");
        else
            out.append(c);
    }
    return out;
}

Text decodeAddressList(const Text& stored) {
    Text out;
    out.reserve(stored.size());
    for (qsizetype i = 0; i < stored.size(); ++i) {
        if (stored[i] == '%' && i + 2 < stored.size()) {
            const int hi = hexDigit(stored[i + 1]);
            const int lo = hexDigit(stored[i + 2]);
            const int byte = (hi < 0 || lo < 0) ? -1 : hi * 16 + lo;
            // Only the three escapes the writer makes: a list written raw by an
            // older copy keeps any other '%' as it is.
            if (byte == '%' || byte == '\r' || byte == '\n') {
                out.append(char(byte));
                i += 2;
                continue;
            }
        }
        out.append(stored[i]);
    }
    return out;
}

void loadSettings(platform::Controls& controls, const QString& programDirectory) {
    if (!platform::FileExists(settingsPath(programDirectory)))
        return;
    for (const Row& row : kRows) {
        const Text section(row.section), key(row.key);
        Text value;
        if (isAddressList(row)) {
            // The key's line in its one-line form, then the hosts that older
            // copies wrote one per line below it.
            const QList<Text> lines = platform::ProfileReadLines(settingsPath(programDirectory), section, key);
            if (!lines.isEmpty()) {
                value = decodeAddressList(lines.front());
                for (qsizetype i = 1; i < lines.size(); ++i)
                    value += "\r\n" + lines[i];
            }
        } else {
            value = platform::ProfileRead(settingsPath(programDirectory), section, key);
        }
        (controls.*row.box)->setText(value);
    }
}

void saveSettings(platform::Controls& controls, const QString& programDirectory) {
    QList<platform::ProfileEntry> entries;
    for (const Row& row : kRows) {
        const Text text = (controls.*row.box)->text();
        if (isAddressList(row))
            entries.append(
                {Text(row.section), Text(row.key), encodeAddressList(text), platform::ValueLines::WithBareLines});
        else
            entries.append({Text(row.section), Text(row.key), text, platform::ValueLines::KeyLine});
    }
    const QString path = settingsPath(programDirectory);
    QString reason;
    if (platform::ProfileWrite(path, entries, &reason) == 1 || !controls.messageBox)
        return;
    using platform::codepage::fromUnicode;
    using platform::codepage::gbk;
    controls.messageBox->show(gbk(u8"设置没有保存。\r\n文件：") + fromUnicode(QDir::toNativeSeparators(path)) +
                              gbk(u8"\r\n原因：") + fromUnicode(reason));
}

} // namespace settings
