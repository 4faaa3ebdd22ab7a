// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "window/status_line.h"

#include <QAccessible>

StatusLine::StatusLine(QWidget *parent)
    : QLabel(parent)
{
    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0xFF));
    setPalette(blue);
}

void StatusLine::setText(const QString &text)
{
    if (text == QLabel::text())
        return;
    QLabel::setText(text);
    setAccessibleDescription(text);
    // A label with a name of its own does not announce its text; say that it changed.
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}
