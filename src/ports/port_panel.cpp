// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "ports/port_panel.h"

#include "ports/drain.h"
#include "ports/speed_change.h"
#include "serial/serial_port.h"
#include "window/status_line.h"

#include <QCoreApplication>
#include <QPushButton>

#include <algorithm>
#include <utility>

namespace {

using AfterSent = PortPanel::AfterSent;

void setSpeedCommandsEnabled(PortPanel &panel, bool enabled)
{
    // Disabling the focused command would pass the focus on along the tab order, into the other
    // panel, where a key press would act on the other port. Keep it here, on OPEN, which is what
    // a closed port needs next.
    const QWidget *focus = panel.openCommand->window()->focusWidget();
    const auto &commands = panel.speedCommands;
    if (!enabled && std::find(commands.begin(), commands.end(), focus) != commands.end())
        panel.openCommand->setFocus(Qt::OtherFocusReason);
    for (QPushButton *command : commands)
        command->setEnabled(enabled);
}

void showStatus(const PortPanel &panel)
{
    // Bytes received damaged are shown as they came; that they were damaged is told beside the
    // designed status text, not in it.
    const QString errors = panel.comm->lineErrors();
    panel.statusLine->setToolTip(
        errors.isEmpty()
            ? QString()
            : QCoreApplication::translate("Status", "Received with faults since OPEN: %1.")
                  .arg(errors));
    if (panel.comm->portOpen())
        panel.statusLine->setText(QStringLiteral("已打开  ") + panel.comm->settings());
    else
        panel.statusLine->setText(QStringLiteral("未打开"));
}

// Closes the port with what has not yet left thrown away, so that the driver does not hold the
// window for it; returns how much that was.
qint64 closeDiscarding(PortPanel &panel, const PortPanels &panels)
{
    // Counted as it goes: some drivers keep what is already on its way to the adapter.
    const qint64 before = panel.comm->bytesToWrite();
    panel.comm->discardOutput();
    const qint64 discarded = before - panel.comm->bytesToWrite();
    panel.comm->setPortOpen(false);
    setSpeedCommandsEnabled(panel, false);
    Status(panels);
    return discarded;
}

Failure stalled(const SerialPort &comm, qint64 discarded)
{
    return Failure(Failure::DeviceBusy,
                   QCoreApplication::translate(
                       "Close",
                       "%1 is closed, but %2 of the bytes sent could not leave the line before it "
                       "closed and were discarded. The far end may have stopped the flow.")
                       .arg(comm.displayName())
                       .arg(discarded));
}

// CLOSE once more, or CLOSE while a speed change waits for the text before it: the user does not
// want to wait, and nothing of the change has reached the line.
Failure cutShort(const PortPanel &panel, AfterSent waiting, qint64 discarded)
{
    const QString port = panel.comm->displayName();
    if (waiting == AfterSent::ChangeSpeed) {
        return Failure(
            Failure::DeviceBusy,
            QCoreApplication::translate(
                "Close",
                "The speed change of %1 to %2 did not start: the port was closed while the text "
                "sent before it was still leaving. Nothing of the change reached the module; %3 "
                "of the bytes sent were discarded.")
                .arg(port, QString::fromLatin1(speedTable[panel.speedRow].settings))
                .arg(discarded));
    }
    return Failure(Failure::DeviceBusy,
                   QCoreApplication::translate("Close",
                                               "%1 is closed at once: %2 of the bytes sent had "
                                               "not yet left the line and were discarded.")
                       .arg(port)
                       .arg(discarded));
}

} // namespace

void Open(PortPanel &panel, const PortPanels &panels)
{
    if (!panel.comm->portOpen()) {
        panel.comm->setPortOpen(true);
    } else if (panel.afterSent == AfterSent::Close) { // the user keeps it open after all
        panel.drain->stop();
        panel.afterSent = AfterSent::Nothing;
    }
    setSpeedCommandsEnabled(panel, true);
    Status(panels);
}

void Close(PortPanel &panel, const PortPanels &panels)
{
    SerialPort &comm = *panel.comm;
    if (comm.portOpen()) {
        // A device lost meanwhile is reported as that, once, and it has closed the port.
        comm.checkDevice();
        if (panel.afterSent != AfterSent::Nothing) {
            const AfterSent waiting = std::exchange(panel.afterSent, AfterSent::Nothing);
            panel.drain->stop();
            const qint64 discarded = closeDiscarding(panel, panels);
            // Only the adapter's answer was awaited: nothing to tell of a plain CLOSE.
            if (discarded > 0 || waiting == AfterSent::ChangeSpeed)
                throw cutShort(panel, waiting, discarded);
            return;
        }
        // Text that Send accepted leaves before the line closes, as far as the line takes it;
        // the window goes on meanwhile, and Drained() closes. Asked even when no queue counts
        // anything: an adapter's own buffer may still hold the end of it. A speed change running
        // is cut short at once instead.
        if (!panel.changingSpeed && !panel.drain->start()) {
            panel.afterSent = AfterSent::Close;
            setSpeedCommandsEnabled(panel, false);
            return;
        }
        comm.setPortOpen(false);
    }
    setSpeedCommandsEnabled(panel, false);
    Status(panels);
}

void Status(const PortPanels &panels)
{
    showStatus(panels.port1);
    showStatus(panels.port2);
}

void Drained(PortPanel &panel, Sent sent, const PortPanels &panels)
{
    switch (std::exchange(panel.afterSent, AfterSent::Nothing)) {
    case AfterSent::Close:
        if (sent == Sent::Stalled) {
            // A driver that never says its transmitter has emptied, with nothing counted: as
            // sent as it can tell.
            if (const qint64 discarded = closeDiscarding(panel, panels); discarded > 0)
                throw stalled(*panel.comm, discarded);
            return;
        }
        if (sent == Sent::All)
            panel.comm->setPortOpen(false);
        UpdateCommands(panel);
        Status(panels);
        break;
    case AfterSent::ChangeSpeed:
        ChangeSpeedOnceSent(panel, sent, panels);
        break;
    case AfterSent::Nothing:
        break;
    }
}

void UpdateCommands(PortPanel &panel)
{
    setSpeedCommandsEnabled(panel, panel.comm->portOpen() && panel.afterSent != AfterSent::Close);
}
