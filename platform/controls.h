#pragma once
// The control operations that the program's logic performs on the window.
//
// Texts crossing these interfaces are bytes in the system code page (GBK);
// an empty text and a missing text are the same. The widget bodies live in
// platform/toolkit.h; tests use fakes. Nothing here needs a display.

#include <QByteArray>
#include <functional>

namespace platform {

using Text = QByteArray; // GBK bytes

// Colours are 0x00BBGGRR.
inline constexpr quint32 kRed = 255;
inline constexpr quint32 kGreen = 65280;

class TextBox {
public:
    virtual ~TextBox() = default;
    virtual Text text() const = 0;
    virtual void setText(const Text& text) = 0;
    virtual void setTextColour(quint32 bgr) = 0;
};

class CheckBox {
public:
    virtual ~CheckBox() = default;
    virtual int checked() const = 0;          // 1 when checked, else 0
    virtual void setChecked(int checked) = 0; // 0 unchecks
};

// The monitoring clock. Writing the period follows three rules:
//  1. writing the current period does nothing (a running countdown goes on);
//  2. otherwise the new period is taken and a running timer is stopped;
//  3. a period above 0 then arms the timer: the first tick one full period
//     after the write, then every period. 0 (or below) leaves it stopped.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void setPeriod(int ms) = 0;
    virtual int period() const = 0;
    std::function<void()> onTick;
};

// A modal box with the text, one OK button, no icon, caption "信息：",
// no owner, modal for the whole application. Returns when dismissed.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual void show(const Text& text) = 0;
};

// The window as the logic sees it: the controls keep their form names.
struct Controls {
    TextBox* 编辑框1 = nullptr; // address list
    TextBox* 编辑框2 = nullptr; // SMTP server
    TextBox* 编辑框3 = nullptr; // account, also the sender
    TextBox* 编辑框4 = nullptr; // password
    TextBox* 编辑框5 = nullptr; // recipients
    TextBox* 编辑框6 = nullptr; // fault list
    CheckBox* 选择框1 = nullptr; // enable mail
    Timer* 时钟1 = nullptr;      // monitoring clock
    MessageBox* messageBox = nullptr;
};

} // namespace platform
