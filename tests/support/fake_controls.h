#pragma once
// Controls without a window: what the logic writes is recorded for the test.

#include "platform/controls.h"

#include <QList>

namespace fakes {

class TextBox final : public platform::TextBox {
public:
    platform::Text text() const override { return m_text; }
    void setText(const platform::Text& text) override {
        m_text = text;
        ++writes;
    }
    void setTextColour(quint32 bgr) override {
        colour = bgr;
        ++colourWrites;
    }

    platform::Text m_text;
    int writes = 0;
    int colourWrites = 0;
    quint32 colour = 0; // black
};

class CheckBox final : public platform::CheckBox {
public:
    int checked() const override { return m_checked; }
    void setChecked(int checked) override { m_checked = checked != 0 ? 1 : 0; }

private:
    int m_checked = 0;
};

class MessageBox final : public platform::MessageBox {
public:
    void show(const platform::Text& text) override { shown.append(text); }
    QList<platform::Text> shown;
};

// Every control of the window; the clock is the test's own, where it needs one.
struct Window {
    explicit Window(platform::Timer* timer = nullptr)
        : controls{&box1, &box2, &box3, &box4, &box5, &box6, &check1, timer, &messageBox} {}
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    TextBox box1, box2, box3, box4, box5, box6;
    CheckBox check1;
    MessageBox messageBox;
    platform::Controls controls;
};

} // namespace fakes
