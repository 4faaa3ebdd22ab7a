// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QPlainTextEdit>

// A multi-line text box whose whole text, read or replaced, has CR LF for each line break, as the
// serial line carries it. QPlainTextEdit itself keeps a paragraph separator instead.
class TextBox : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit TextBox(QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);
};
