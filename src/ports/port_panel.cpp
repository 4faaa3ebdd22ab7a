// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "ports/port_panel.h"

#include "serial/serial_port.h"
#include "window/status_line.h"

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

void showStatus(const PortPanel &panel)
{
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
    if (panel.comm->portOpen())
        panel.comm->setPortOpen(false);
    setSpeedCommandsEnabled(panel, false);
    Status(panels);
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
