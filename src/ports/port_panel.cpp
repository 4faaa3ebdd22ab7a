#include "ports/port_panel.h"

#include "serial/serial_port.h"
#include "window/status_line.h"

#include <QPushButton>

namespace {

void setSpeedCommandsEnabled(PortPanel &panel, bool enabled)
{
    // An OPEN served inside a running speed change must not re-enable them early.
    for (QPushButton *command : panel.speedCommands)
        command->setEnabled(enabled && !panel.changingSpeed);
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
    panel.sendCommand->setEnabled(!panel.changingSpeed);
}
