#include "platform/toolkit.h"

#include "platform/codepage.h"
#include "platform/timer.h"

#include <QCheckBox>
#include <QColor>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPlainTextEdit>

namespace platform {

QString messageBoxCaption() { return QStringLiteral("信息："); }

void setWidgetTextColour(QWidget* widget, quint32 bgr) {
    const QColor colour(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
    QPalette pal = widget->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        pal.setColor(group, QPalette::Text, colour);
    widget->setPalette(pal);
}

Text LineTextBox::text() const { return codepage::fromUnicode(m_edit->text()); }

void LineTextBox::setText(const Text& text) { m_edit->setText(codepage::toUnicode(text)); }

void LineTextBox::setTextColour(quint32 bgr) { setWidgetTextColour(m_edit, bgr); }

Text MultiLineTextBox::text() const {
    QString s = m_edit->toPlainText();
    s.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return codepage::fromUnicode(s);
}

void MultiLineTextBox::setText(const Text& text) {
    QString s = codepage::toUnicode(text);
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_edit->setPlainText(s);
}

void MultiLineTextBox::setTextColour(quint32 bgr) { setWidgetTextColour(m_edit, bgr); }

int WidgetCheckBox::checked() const { return m_box->isChecked() ? 1 : 0; }

void WidgetCheckBox::setChecked(int checked) { m_box->setChecked(checked != 0); }

void WidgetMessageBox::show(const Text& text) {
    QMessageBox box(QMessageBox::NoIcon, messageBoxCaption(), codepage::toUnicode(text), QMessageBox::Ok, nullptr);
    box.setWindowModality(Qt::ApplicationModal);
    box.setObjectName(QStringLiteral("messageBox"));
    TickGate::boxOpened();
    box.exec();
    TickGate::boxClosed();
}

} // namespace platform
