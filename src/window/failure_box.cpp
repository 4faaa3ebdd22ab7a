// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "window/failure_box.h"

#include "serial/failure.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>

FailureBox::FailureBox(const Failure &failure, QWidget *parent)
    //: The failure message box: %1 is the failure's number, %2 its description.
    : QMessageBox(QMessageBox::Critical, parent->windowTitle(),
                  tr("Error %1\n\n%2").arg(failure.number()).arg(failure.description()),
                  QMessageBox::Ok, parent)
{
    setObjectName(QStringLiteral("failureBox"));
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setAttribute(Qt::WA_DeleteOnClose);
    if (QLabel *label = findChild<QLabel *>(QStringLiteral("qt_msgbox_label")))
        label->installEventFilter(this);
}

// Ctrl+C copies the number and the whole text wherever the focus is in the box, as a user
// expects in order to pass it on. Qt's own box does so only on Windows, with the title and the
// buttons around the text. A selection in the text keeps its own Ctrl+C.
bool FailureBox::copyAll(QKeyEvent *event)
{
    if (!event->matches(QKeySequence::Copy))
        return false;
    QGuiApplication::clipboard()->setText(text());
    return true;
}

void FailureBox::keyPressEvent(QKeyEvent *event)
{
    if (!copyAll(event))
        QMessageBox::keyPressEvent(event);
}

// The text, clicked into, takes the key itself, and copies nothing when nothing is selected.
bool FailureBox::eventFilter(QObject *watched, QEvent *event)
{
    const auto *label = qobject_cast<QLabel *>(watched);
    if (label && event->type() == QEvent::KeyPress && !label->hasSelectedText())
        return copyAll(static_cast<QKeyEvent *>(event));
    return QMessageBox::eventFilter(watched, event);
}
