// The profile reader on arbitrary files. The file comes back byte for byte
// when nothing is set; a value set under a key reads back exactly, whatever
// the file held before; and a write leaves the keys of other sections alone.
#include "platform/profile.h"

#include <cstdint>
#include <cstdlib>

namespace {

using platform::ProfileText;
using platform::Text;
using platform::ValueLines;

const char* const kMailKeys[] = {"server", "send", "password", "rec"};

void require(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray file(reinterpret_cast<const char*>(data), qsizetype(size));
    const ProfileText text(file);
    require(text.bytes() == file);

    const QList<Text> list = text.valueLines("IP", "IP", ValueLines::WithBareLines);
    require(list.isEmpty() || list.front() == text.value("IP", "IP"));
    Text mail[4];
    for (int i = 0; i < 4; ++i)
        mail[i] = text.value("mail", kMailKeys[i]);

    // A value from the input itself, its line breaks dropped.
    Text value = file.left(48);
    value.replace('\r', "").replace('\n', "");
    for (ValueLines lines : {ValueLines::KeyLine, ValueLines::WithBareLines}) {
        ProfileText written(file);
        require(written.setValue("IP", "IP", value, lines));
        const ProfileText reread(written.bytes());
        require(reread.value("IP", "IP") == value);
        if (lines == ValueLines::WithBareLines)
            require(reread.valueLines("IP", "IP", lines) == QList<Text>{value});
        for (int i = 0; i < 4; ++i)
            require(reread.value("mail", kMailKeys[i]) == mail[i]);
    }
    ProfileText password(file);
    require(password.setValue("mail", "password", value));
    const ProfileText rereadPassword(password.bytes());
    require(rereadPassword.value("mail", "password") == value);
    require(rereadPassword.valueLines("IP", "IP", ValueLines::WithBareLines) == list);
    require(!password.setValue("mail", "password", value + "\n"));
    return 0;
}
