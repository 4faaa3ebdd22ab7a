// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QByteArray>

enum class Sent;
struct PortPanel;
struct PortPanels;

// One row of the speed table: the code byte that tells the module its new speed, and the line
// settings the host port takes afterwards.
struct SpeedRow
{
    char code;
    const char *settings;
};

// In the order of the panel's speed commands: 115200, 57600, 38400, 19200, 9600.
inline constexpr SpeedRow speedTable[5] = {
    {0x00, "115200,n,8,1"}, {0x01, "57600,n,8,1"}, {0x02, "38400,n,8,1"},
    {0x03, "19200,n,8,1"},  {0x04, "9600,n,8,1"},
};

// Moves the attached module and then the host port to the row's speed, once the text sent
// before has left the line: RTS inactive, 100 ms, the code byte at the old speed, 100 ms from when
// the driver says it has left, RTS active, 100 ms, the new settings. The window stays responsive
// throughout; the steps follow one another as the panel's task (port_panel.h), and this panel's
// speed commands and Send do nothing until the last has run, or the change has ended otherwise.
void ChangeSpeed(PortPanel &panel, int row);
// Goes on with the speed change once its step's wait has passed, or once what it waited for to
// leave the line has left (or did not); nothing when no change waits for it.
void SpeedChangeDelayed(PortPanel &panel, const PortPanels &panels);
void SpeedChangeSent(PortPanel &panel, Sent sent);
