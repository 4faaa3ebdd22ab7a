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
// before has left the line. The window stays responsive during the waits, but this panel's speed
// commands and Send are held off until the sequence has ended, however it ends. A sequence whose
// port was closed during a wait stops there with a Failure, whether or not the port has been
// opened again.
void ChangeSpeed(PortPanel &panel, int row, const PortPanels &panels);
// Goes on with the speed change that waited for the text sent before it.
void ChangeSpeedOnceSent(PortPanel &panel, Sent sent, const PortPanels &panels);
