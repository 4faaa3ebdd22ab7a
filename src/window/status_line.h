// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QLabel>

// A panel's status line: blue text that a screen reader announces whenever it changes.
class StatusLine : public QLabel
{
    Q_OBJECT

public:
    explicit StatusLine(QWidget *parent = nullptr);

    // Hides QLabel::setText so that every change is also told to assistive technology; the
    // accessible name stays "COM1 status" and the text travels as the description.
    void setText(const QString &text);
};
