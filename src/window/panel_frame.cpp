// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "window/panel_frame.h"

#include "window/start_options.h"

#include <QEvent>
#include <QGroupBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QStyle>

PanelFrame::PanelFrame(QGroupBox *frame, const QString &builtIn, QObject *parent)
    : QObject(parent)
    , m_frame(frame)
    , m_port(frame->title())
    , m_builtIn(builtIn)
{
    // Every control but the text boxes passes a right-click, or the menu key, on to the frame.
    m_frame->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_frame, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { emit menuWanted(m_frame->mapToGlobal(at)); });
    // The keys that open a list of choices in a combo box, which nothing in a panel takes.
    for (const QKeySequence &keys :
         {QKeySequence(Qt::Key_F4), QKeySequence(Qt::ALT | Qt::Key_Down)}) {
        auto *shortcut = new QShortcut(keys, m_frame);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] {
            const QWidget *focus = m_frame->focusWidget();
            emit menuWanted(focus ? focus->mapToGlobal(focus->rect().bottomLeft())
                                  : m_frame->mapToGlobal(QPoint()));
        });
    }
    // The text boxes, most of the panel, keep their own menus, with the way to the device's.
    for (QPlainTextEdit *box : m_frame->findChildren<QPlainTextEdit *>())
        box->viewport()->installEventFilter(this);
}

bool PanelFrame::eventFilter(QObject *watched, QEvent *event)
{
    auto *viewport = qobject_cast<QWidget *>(watched);
    auto *box = viewport ? qobject_cast<QPlainTextEdit *>(viewport->parentWidget()) : nullptr;
    if (event->type() != QEvent::ContextMenu || !box)
        return false;
    const QPoint at = static_cast<QContextMenuEvent *>(event)->globalPos();
    QMenu *menu = box->createStandardContextMenu(viewport->mapFromGlobal(at));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    //: An entry of a text box's context menu that opens the device menu of the box's panel.
    menu->addAction(tr("Device of %1…").arg(m_port), this, [this, at] { emit menuWanted(at); });
    menu->popup(at);
    return true;
}

void PanelFrame::showDevice(const QString &device, const QString &displayName,
                            const QString &listedName)
{
    m_device = device;
    const QString named = listedName.isEmpty() ? displayName : displayName + u'\n' + listedName;
    m_frame->setToolTip(tr("%1\nRight-click or F4: choose the device").arg(named));
    m_frame->setAccessibleDescription(
        tr("%1. Its device can be chosen from a menu: F4, or the context menu.").arg(named));
    showCaption();
}

void PanelFrame::showWaiting(Waiting waiting)
{
    if (waiting == m_waiting)
        return;
    m_waiting = waiting;
    if (waiting != Waiting::No)
        m_frame->setCursor(Qt::BusyCursor);
    else
        m_frame->unsetCursor();
    showCaption();
}

// "COM1", "COM1 (ttyUSB0)", "COM1 (ttyUSB0) — opening…": the device's name shortened to what
// the frame has room for, the whole of it for screen readers.
void PanelFrame::showCaption()
{
    const bool builtIn = m_device == m_builtIn;
    const QString opening = m_waiting == Waiting::Opening ? tr(" — opening…")
        : m_waiting == Waiting::Sending                   ? tr(" — sending…")
                                                          : QString();
    const QString device = StartOptions::shortName(m_device);
    const QString whole
        = builtIn ? m_port + opening : QStringLiteral("%1 (%2)%3").arg(m_port, device, opening);
    m_frame->setAccessibleName(whole);
    if (builtIn) {
        m_frame->setTitle(whole);
        return;
    }
    const QFontMetrics metrics(m_frame->font());
    const int room = m_frame->width()
        - 4 * m_frame->style()->pixelMetric(QStyle::PM_LayoutLeftMargin)
        - metrics.horizontalAdvance(QStringLiteral("%1 ()%2").arg(m_port, opening));
    m_frame->setTitle(QStringLiteral("%1 (%2)%3")
                          .arg(m_port, metrics.elidedText(device, Qt::ElideMiddle, room), opening));
}
