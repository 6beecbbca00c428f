#pragma once
// Controls without a window, and a program folder of its own per test.

#include "tests/support/fake_controls.h"

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

using FakeMessageBox = fakes::MessageBox;

// The five boxes that the settings fill and save.
struct FakeWindow : fakes::Window {
    QList<platform::Text> texts() const {
        QList<platform::Text> out;
        for (const fakes::TextBox* b : {&box1, &box2, &box3, &box4, &box5})
            out.append(b->text());
        return out;
    }
    void setTexts(const QList<platform::Text>& texts) {
        fakes::TextBox* boxes[] = {&box1, &box2, &box3, &box4, &box5};
        for (int i = 0; i < 5; ++i)
            boxes[i]->setText(texts.value(i));
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
