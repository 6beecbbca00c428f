#pragma once
// Controls without a window, and a program folder of its own per test.

#include "platform/controls.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QTemporaryDir>
#include <ostream>

// Failures show bytes with the awkward ones escaped.
inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
    *os << '"';
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"')
            *os << '\\' << c;
        else if (u >= 0x20 && u < 0x7F)
            *os << c;
        else {
            const char* hex = "0123456789ABCDEF";
            *os << "\\x" << hex[u >> 4] << hex[u & 15];
        }
    }
    *os << '"';
}

namespace settings_test {

class FakeBox final : public platform::TextBox {
public:
    platform::Text text() const override { return m_text; }
    void setText(const platform::Text& text) override { m_text = text; }
    void setTextColour(quint32) override {}

private:
    platform::Text m_text;
};

class FakeMessageBox final : public platform::MessageBox {
public:
    void show(const platform::Text& text) override { shown.append(text); }
    QList<platform::Text> shown;
};

struct FakeWindow {
    FakeBox boxes[5];
    FakeMessageBox messageBox;
    platform::Controls controls;

    FakeWindow() {
        controls.编辑框1 = &boxes[0];
        controls.编辑框2 = &boxes[1];
        controls.编辑框3 = &boxes[2];
        controls.编辑框4 = &boxes[3];
        controls.编辑框5 = &boxes[4];
        controls.messageBox = &messageBox;
    }
    QList<platform::Text> texts() const {
        QList<platform::Text> out;
        for (const FakeBox& b : boxes)
            out.append(b.text());
        return out;
    }
    void setTexts(const QList<platform::Text>& texts) {
        for (int i = 0; i < 5; ++i)
            boxes[i].setText(texts.value(i));
    }
};

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace settings_test
