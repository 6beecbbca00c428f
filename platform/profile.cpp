#include "platform/profile.h"

#include <utility>

namespace platform {
namespace {

bool isBlank(char c) {
    return c >= 1 && c <= 32;
}

// GBK: a lead byte 0x81-0xFE and a trail byte 0x40-0xFE (not 0x7F) make one
// character; its trail byte may look like '[', ']' or an ASCII letter.
bool isLead(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x81 && u <= 0xFE;
}
bool isTrail(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x40 && u <= 0xFE && u != 0x7F;
}

QByteArrayView trimmed(QByteArrayView s) {
    while (!s.isEmpty() && isBlank(s.front()))
        s = s.sliced(1);
    while (!s.isEmpty() && isBlank(s.back()))
        s.chop(1);
    return s;
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool namesEqual(QByteArrayView a, QByteArrayView b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size();) {
        if (isLead(a[i]) && i + 1 < a.size() && isTrail(a[i + 1])) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            i += 2;
        } else {
            if (asciiLower(a[i]) != asciiLower(b[i]))
                return false;
            ++i;
        }
    }
    return true;
}

enum class Kind { Blank, Comment, Section, Key, Bare };

struct Parsed {
    Kind kind = Kind::Blank;
    QByteArrayView name;
    QByteArrayView value;  // Key only
    qsizetype equals = -1; // index of '=' in the line, Key only
};

// The last ']' of a header, stepping over double-byte characters.
qsizetype closingBracket(QByteArrayView s) {
    qsizetype last = -1;
    for (qsizetype i = 1; i < s.size();) {
        if (isLead(s[i]) && i + 1 < s.size() && isTrail(s[i + 1])) {
            i += 2;
            continue;
        }
        if (s[i] == ']')
            last = i;
        ++i;
    }
    return last;
}

Parsed parse(const QByteArray& line) {
    Parsed p;
    QByteArrayView s(line);
    qsizetype lead = 0;
    while (lead < s.size() && isBlank(s[lead]))
        ++lead;
    s = s.sliced(lead);
    if (s.isEmpty())
        return p;
    if (s.front() == ';') {
        p.kind = Kind::Comment;
        return p;
    }
    if (s.front() == '[') {
        const qsizetype close = closingBracket(s);
        if (close > 0) {
            p.kind = Kind::Section;
            p.name = trimmed(s.sliced(1, close - 1));
            return p;
        }
    }
    // '=' (0x3D) is never part of a double-byte character.
    const qsizetype eq = s.indexOf('=');
    if (eq < 0) {
        p.kind = Kind::Bare;
        p.name = trimmed(s);
        return p;
    }
    p.kind = Kind::Key;
    p.name = trimmed(s.first(eq));
    p.equals = lead + eq;
    QByteArrayView v = trimmed(s.sliced(eq + 1));
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        v = v.sliced(1, v.size() - 2);
    p.value = v;
    return p;
}

// Requested names lose their blanks as the names in the file do.
QByteArrayView requested(const Text& name) {
    return trimmed(QByteArrayView(name));
}

} // namespace

ProfileText::ProfileText(const QByteArray& bytes) {
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype nl = bytes.indexOf('\n', start);
        if (nl < 0) {
            // A last line cut after its CR ends as the CRLF lines do.
            const bool cr = bytes.endsWith('\r');
            m_lines.append({bytes.sliced(start, bytes.size() - start - (cr ? 1 : 0)),
                            cr ? QByteArrayLiteral("\r") : QByteArray()});
            break;
        }
        const bool crlf = nl > start && bytes[nl - 1] == '\r';
        const qsizetype textEnd = crlf ? nl - 1 : nl;
        m_lines.append(
            {bytes.sliced(start, textEnd - start), crlf ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n")});
        start = nl + 1;
    }
}

QByteArray ProfileText::bytes() const {
    qsizetype size = 0;
    for (const Line& l : m_lines)
        size += l.text.size() + l.end.size();
    QByteArray out;
    out.reserve(size);
    for (const Line& l : m_lines) {
        out.append(l.text);
        out.append(l.end);
    }
    return out;
}

qsizetype ProfileText::findSection(const Text& name) const {
    const QByteArrayView wanted = requested(name);
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Parsed p = parse(m_lines[i].text);
        if (p.kind == Kind::Section && namesEqual(p.name, wanted))
            return i;
    }
    return -1;
}

qsizetype ProfileText::sectionEnd(qsizetype header) const {
    for (qsizetype i = header + 1; i < m_lines.size(); ++i)
        if (parse(m_lines[i].text).kind == Kind::Section)
            return i;
    return m_lines.size();
}

qsizetype ProfileText::findKey(qsizetype header, const Text& name) const {
    const QByteArrayView wanted = requested(name);
    for (qsizetype i = header + 1; i < m_lines.size(); ++i) {
        const Parsed p = parse(m_lines[i].text);
        if (p.kind == Kind::Section)
            break;
        if ((p.kind == Kind::Key || p.kind == Kind::Bare) && namesEqual(p.name, wanted))
            return i;
    }
    return -1;
}

QList<qsizetype> ProfileText::bareLinesBelow(qsizetype keyLine) const {
    QList<qsizetype> lines;
    qsizetype kept = 0; // lines up to and including the last bare one
    for (qsizetype i = keyLine + 1; i < m_lines.size(); ++i) {
        const Kind kind = parse(m_lines[i].text).kind;
        if (kind == Kind::Section || kind == Kind::Key)
            break;
        if (kind == Kind::Comment)
            continue;
        lines.append(i);
        if (kind == Kind::Bare)
            kept = lines.size();
    }
    lines.resize(kept);
    return lines;
}

QList<Text> ProfileText::valueLines(const Text& section, const Text& key, ValueLines which) const {
    if (requested(section).isEmpty() || requested(key).isEmpty())
        return {};
    const qsizetype header = findSection(section);
    if (header < 0)
        return {};
    const qsizetype line = findKey(header, key);
    if (line < 0)
        return {};
    QList<Text> out{parse(m_lines[line].text).value.toByteArray()};
    if (which == ValueLines::WithBareLines)
        for (qsizetype i : bareLinesBelow(line))
            out.append(m_lines[i].text);
    return out;
}

Text ProfileText::value(const Text& section, const Text& key) const {
    const QList<Text> lines = valueLines(section, key, ValueLines::KeyLine);
    return lines.isEmpty() ? Text() : lines.front();
}

Text ProfileText::protectedValue(const Text& value) {
    if (value.isEmpty())
        return value;
    const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    if (isBlank(value.front()) || isBlank(value.back()) || quoted)
        return '"' + value + '"';
    return value;
}

QByteArray ProfileText::newLineEnd() const {
    if (!m_lines.isEmpty() && m_lines.front().end.endsWith('\n'))
        return m_lines.front().end;
    return QByteArrayLiteral("\r\n");
}

void ProfileText::insertLine(qsizetype at, const QByteArray& text) {
    const QByteArray end = newLineEnd();
    if (at == m_lines.size() && !m_lines.isEmpty() && m_lines.back().end != end) {
        if (m_lines.back().end.isEmpty())
            m_lines.back().end = end;
        else if (m_lines.back().end == "\r")
            m_lines.back().end = QByteArrayLiteral("\r\n");
    }
    m_lines.insert(at, {text, end});
}

bool ProfileText::setValue(const Text& section, const Text& key, const Text& value, ValueLines which) {
    const QByteArrayView sectionName = requested(section);
    const QByteArrayView keyName = requested(key);
    if (sectionName.isEmpty() || keyName.isEmpty() || value.contains('\r') || value.contains('\n'))
        return false;
    const Text written = protectedValue(value);

    const qsizetype header = findSection(section);
    if (header < 0) {
        if (!m_lines.isEmpty() && parse(m_lines.back().text).kind != Kind::Blank)
            insertLine(m_lines.size(), QByteArray());
        insertLine(m_lines.size(), '[' + sectionName.toByteArray() + ']');
        insertLine(m_lines.size(), keyName.toByteArray() + '=' + written);
        return true;
    }
    const qsizetype line = findKey(header, key);
    if (line < 0) {
        qsizetype at = sectionEnd(header);
        while (at - 1 > header && parse(m_lines[at - 1].text).kind == Kind::Blank)
            --at;
        insertLine(at, keyName.toByteArray() + '=' + written);
        return true;
    }
    if (which == ValueLines::WithBareLines) {
        // In one pass: a legacy list can be tens of thousands of lines.
        const QList<qsizetype> bare = bareLinesBelow(line);
        qsizetype next = 0, to = 0;
        for (qsizetype from = 0; from < m_lines.size(); ++from) {
            if (next < bare.size() && bare[next] == from) {
                ++next;
                continue;
            }
            if (to != from)
                m_lines[to] = std::move(m_lines[from]);
            ++to;
        }
        m_lines.resize(to);
    }
    Line& l = m_lines[line];
    const Parsed p = parse(l.text);
    if (p.kind == Kind::Key) {
        l.text = l.text.first(p.equals + 1) + written;
    } else {
        QByteArrayView name(l.text);
        while (!name.isEmpty() && isBlank(name.back()))
            name.chop(1);
        l.text = name.toByteArray() + '=' + written;
    }
    return true;
}

} // namespace platform
