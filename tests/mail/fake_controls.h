#pragma once
// Controls without a window, for driving the mail handlers directly.

#include "platform/controls.h"

#include <QList>

namespace mailtest {

class FakeTextBox final : public platform::TextBox {
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
    FakeTextBox box[6];
    FakeMessageBox messageBox;
    platform::Controls controls{&box[0], &box[1], &box[2], &box[3], &box[4], &box[5], nullptr, nullptr, &messageBox};

    void setMail(const platform::Text& server, const platform::Text& account, const platform::Text& password,
                 const platform::Text& recipient) {
        box[1].setText(server);
        box[2].setText(account);
        box[3].setText(password);
        box[4].setText(recipient);
    }
};

} // namespace mailtest
