// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

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
    // Every line end is one break: CR LF, and a lone CR or LF, in any run. Left to itself,
    // setPlainText() would pair up a CR with an LF that follows, and turn CR CR LF into one break.
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    plain.replace(u'\r', u'\n');
    setPlainText(plain);
}
