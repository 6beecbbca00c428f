#pragma once
// The control operations of platform/controls.h on Qt Widgets.
//
// Text crosses this boundary as GBK bytes and is converted here, through
// platform/codepage.h only. A multi-line box holds its lines separated by
// "\r\n" towards the program, as the platform's edit controls do.

#include "platform/controls.h"

#include <QString>
#include <QTextCharFormat>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace platform {

class LineTextBox final : public TextBox {
public:
    explicit LineTextBox(QLineEdit* edit) : m_edit(edit) {}
    Text text() const override;
    void setText(const Text& text) override;
    void setTextColour(quint32 bgr) override;

private:
    QLineEdit* m_edit;
};

class MultiLineTextBox final : public TextBox {
public:
    explicit MultiLineTextBox(QPlainTextEdit* edit) : m_edit(edit) {}
    Text text() const override;
    void setText(const Text& text) override;
    void setTextColour(quint32 bgr) override;

private:
    QPlainTextEdit* m_edit;
    // The colour is also carried by the text itself, so that it reaches the
    // accessibility interface as the text's foreground, not only the screen.
    QTextCharFormat m_format;
};

class WidgetCheckBox final : public CheckBox {
public:
    explicit WidgetCheckBox(QCheckBox* box) : m_box(box) {}
    int checked() const override;
    void setChecked(int checked) override;

private:
    QCheckBox* m_box;
};

class WidgetMessageBox final : public MessageBox {
public:
    void show(const Text& text) override;
};

// The caption of every message box.
QString messageBoxCaption();

// Sets the colour of a widget's whole text, from 0x00BBGGRR.
void setWidgetTextColour(QWidget* widget, quint32 bgr);

} // namespace platform
