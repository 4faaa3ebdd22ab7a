// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "ports/port_panel.h"

#include "ports/drain.h"
#include "serial/serial_port.h"
#include "window/status_line.h"

#include <QCoreApplication>
#include <QPushButton>

#include <algorithm>

namespace {

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

Failure notSent(const SerialPort &comm, qint64 dropped)
{
    return Failure(Failure::DeviceBusy,
                   QCoreApplication::translate(
                       "Close",
                       "%1 is closed, but %2 of the bytes sent could not leave the line before it "
                       "closed and were dropped. The far end may have stopped the flow.")
                       .arg(comm.displayName())
                       .arg(dropped));
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

} // namespace

void Open(PortPanel &panel, const PortPanels &panels)
{
    if (!panel.comm->portOpen())
        panel.comm->setPortOpen(true);
    setSpeedCommandsEnabled(panel, true);
    Status(panels);
}

void Close(PortPanel &panel, const PortPanels &panels)
{
    qint64 dropped = 0;
    if (panel.comm->portOpen()) {
        // Text that Send accepted leaves before the line closes, as far as the line takes it.
        switch (WaitUntilSent(*panel.comm)) {
        case Sent::All:
            break;
        case Sent::Stalled:
            dropped = panel.comm->bytesToWrite();
            break;
        case Sent::Interrupted: // closed meanwhile, or opened again since: that stands
            UpdateCommands(panel);
            Status(panels);
            return;
        case Sent::Quitting:
            return;
        }
        panel.comm->setPortOpen(false);
    }
    setSpeedCommandsEnabled(panel, false);
    Status(panels);
    if (dropped > 0)
        throw notSent(*panel.comm, dropped);
}

void Status(const PortPanels &panels)
{
    showStatus(panels.port1);
    showStatus(panels.port2);
}

void UpdateCommands(PortPanel &panel)
{
    setSpeedCommandsEnabled(panel, panel.comm->portOpen());
}
