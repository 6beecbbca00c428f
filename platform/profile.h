#pragma once
// Profile ("INI") files: our own reader and writer, bytes in and bytes out.
//
// Errors: reading never fails. A file, section or key that is missing or
// cannot be read reads as "" (ProfileReadLines: an empty list). ProfileWrite
// returns 1 on success and 0 on failure; on failure the file on disk is as it
// was, and *reason (when given) says why, as a sentence for the operator.
// FileExists returns 1 or 0. Nothing throws.
//
// The file format, as the system's own profile reader understands it:
// - lines end in LF or CRLF; a line whose first non-blank byte is ';' is a
//   comment; "[name]" opens a section (the name runs to the last ']');
//   "key=value" splits at the first '='; any other line is a bare line.
// - section and key names are compared without regard to ASCII case (a GBK
//   double-byte character compares as it is), with the blanks around them
//   ignored (bytes 1 to 32). The first matching section and key count.
// - a value loses the blanks at its ends, then one pair of double quotes
//   around the whole of it. The writer adds such a pair where a value would
//   not come back otherwise, so every one-line value round-trips.
// - a write keeps every other line of the file byte for byte.

#include "platform/controls.h"

#include <QList>
#include <QString>

namespace platform {

// Which lines hold a key's value.
enum class ValueLines {
    KeyLine, // the text after '=' on the key's own line
    // Also the bare and blank lines below it, up to the next section, key or the
    // end of the file, less comments and the blank lines after the last bare one.
    // Older copies of the program wrote the address list that way.
    WithBareLines,
};

Text ProfileRead(const QString& file, const Text& section, const Text& key);

// The value on the key's line, then each bare line below it (WithBareLines), as
// written. Empty when the key is missing.
QList<Text> ProfileReadLines(const QString& file, const Text& section, const Text& key);

struct ProfileEntry {
    Text section;
    Text key;
    Text value; // one line: no CR, no LF
    ValueLines lines = ValueLines::KeyLine;
};

// Sets the entries, in order, and replaces the file at once: a temporary file
// in the same folder, flushed to disk, renamed over the old one. A new file is
// readable by its owner only; an existing one keeps its permissions.
int ProfileWrite(const QString& file, const QList<ProfileEntry>& entries, QString* reason = nullptr);
int ProfileWrite(const QString& file, const Text& section, const Text& key, const Text& value,
                 QString* reason = nullptr);

// 1 when the path names an existing file or folder.
int FileExists(const QString& path);

// A profile file in memory: what ProfileRead and ProfileWrite work on.
class ProfileText {
public:
    explicit ProfileText(const QByteArray& bytes = {});

    // Empty when the section or key is missing; for a key found, the value first.
    QList<Text> valueLines(const Text& section, const Text& key, ValueLines lines) const;
    Text value(const Text& section, const Text& key) const;

    // false when a name is empty or the value holds a line break.
    bool setValue(const Text& section, const Text& key, const Text& value, ValueLines lines = ValueLines::KeyLine);

    QByteArray bytes() const;

    // How a value is written after '=' so that the reader brings it back.
    static Text protectedValue(const Text& value);

private:
    struct Line {
        QByteArray text; // without its line end
        QByteArray end;  // "\r\n", "\n"; the last line "\r" or ""
    };
    qsizetype findSection(const Text& name) const;
    qsizetype sectionEnd(qsizetype header) const;
    qsizetype findKey(qsizetype header, const Text& name) const;
    QList<qsizetype> bareLinesBelow(qsizetype keyLine) const;
    void insertLine(qsizetype at, const QByteArray& text);
    QByteArray newLineEnd() const;

    QList<Line> m_lines;
};

} // namespace platform
