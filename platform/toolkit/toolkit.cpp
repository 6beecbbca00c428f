#include "platform/toolkit.h"

#include "platform/codepage.h"
#include "platform/timer.h"

#include <QCheckBox>
#include <QColor>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

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
    m_edit->setPlainText(QString()); // a new document: no undo steps, scrolled to the top
    m_edit->setCurrentCharFormat(m_format);
    if (s.isEmpty())
        return;
    QTextDocument* doc = m_edit->document();
    doc->setUndoRedoEnabled(false);
    QTextCursor(doc).insertText(s, m_format);
    doc->setUndoRedoEnabled(true);
    QTextCursor start(doc);
    m_edit->setTextCursor(start);
}

void MultiLineTextBox::setTextColour(quint32 bgr) {
    setWidgetTextColour(m_edit, bgr);
    m_format.setForeground(m_edit->palette().color(QPalette::Active, QPalette::Text));
    if (!m_edit->document()->isEmpty()) {
        QTextCursor all(m_edit->document());
        all.select(QTextCursor::Document);
        all.mergeCharFormat(m_format);
    }
    QTextCharFormat typing = m_edit->currentCharFormat();
    typing.setForeground(m_format.foreground());
    m_edit->setCurrentCharFormat(typing);
}

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
