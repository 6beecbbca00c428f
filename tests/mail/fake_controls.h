#pragma once
// Controls without a window, for driving the mail handlers directly.

#include "tests/support/fake_controls.h"

namespace mailtest {

using FakeTextBox = fakes::TextBox;
using FakeMessageBox = fakes::MessageBox;

struct FakeWindow : fakes::Window {
    void setMail(const platform::Text& server, const platform::Text& account, const platform::Text& password,
                 const platform::Text& recipient) {
        box2.setText(server);
        box3.setText(account);
        box4.setText(password);
        box5.setText(recipient);
    }
};

} // namespace mailtest
