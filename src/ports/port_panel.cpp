// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "ports/port_panel.h"

#include "ports/delay.h"
#include "ports/drain.h"
#include "serial/serial_port.h"
#include "window/status_line.h"

#include <QCoreApplication>
#include <QPushButton>

#include <algorithm>

namespace {

using Task = PortPanel::Task;

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

} // namespace

bool PortPanel::deviceChoosable() const
{
    return !comm->portOpen() && task == Task::None;
}

void Status(const PortPanels &panels)
{
    showStatus(panels.port1);
    showStatus(panels.port2);
}

void EndTask(PortPanel &panel)
{
    if (panel.task == Task::Opening)
        panel.comm->cancelOpen();
    panel.drain->stop();
    panel.delay->stop();
    panel.task = Task::None;
}

void UpdateCommands(PortPanel &panel)
{
    setSpeedCommandsEnabled(panel, panel.comm->portOpen() && panel.task != Task::ClosingOnceSent);
}
