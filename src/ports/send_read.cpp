// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "ports/send_read.h"

#include "ports/port_panel.h"
#include "serial/serial_port.h"
#include "window/text_box.h"

void Send(PortPanel &panel)
{
    // A byte slipped into a running speed change would be taken by the module as a speed code;
    // and text for a port that is closing would only be thrown away.
    if (panel.task != PortPanel::Task::None || !panel.comm->portOpen())
        return;
    panel.comm->setOutput(panel.sendBox->text());
}

void Read(PortPanel &panel)
{
    if (!panel.comm->portOpen())
        return;
    panel.receiveBox->setText(panel.comm->input());
}
