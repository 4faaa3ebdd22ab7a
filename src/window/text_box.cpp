#include "window/text_box.h"

#include <QTextDocument>

TextBox::TextBox(QWidget *parent)
    : QPlainTextEdit(parent)
{
    // Tab moves on through the window's tab order, as in a dialog, instead of typing a tab.
    setTabChangesFocus(true);
}

QString TextBox::text() const
{
    // The raw text keeps what toPlainText() would rewrite, such as no-break spaces.
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
    text.replace(QChar::LineSeparator, QLatin1String("\r\n"));
    return text;
}

void TextBox::setText(const QString &text)
{
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    setPlainText(plain);
}
