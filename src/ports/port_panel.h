// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <array>

enum class Sent;
class Drain;
class QPushButton;
class SerialPort;
class StatusLine;
class TextBox;

// Everything an operation needs of one port panel. The window builds two, once, and they live
// as long as it does.
struct PortPanel
{
    SerialPort *comm = nullptr;
    Drain *drain = nullptr;
    // In the order 115200, 57600, 38400, 19200, 9600.
    std::array<QPushButton *, 5> speedCommands {};
    QPushButton *openCommand = nullptr;
    TextBox *sendBox = nullptr;
    TextBox *receiveBox = nullptr;
    StatusLine *statusLine = nullptr;
    // Set while a speed change runs on this panel: its framing must not be interleaved, so the
    // panel's speed commands and Send refuse to run meanwhile. They stay enabled, because
    // disabling the focused one would pass the keyboard focus on into the other panel.
    bool changingSpeed = false;
    // What waits for the text sent earlier to leave the line before it runs: CLOSE, or the speed
    // change to speedRow. Meanwhile the same holds as while a speed change runs, and CLOSE closes
    // at once.
    enum class AfterSent { Nothing, Close, ChangeSpeed };
    AfterSent afterSent = AfterSent::Nothing;
    int speedRow = 0;

    bool busy() const { return changingSpeed || afterSent != AfterSent::Nothing; }
};

struct PortPanels
{
    PortPanel port1;
    PortPanel port2;
};

void Open(PortPanel &panel, const PortPanels &panels);
void Close(PortPanel &panel, const PortPanels &panels);
void Status(const PortPanels &panels);
// Goes on with what waited for the text sent earlier, now that the wait has ended.
void Drained(PortPanel &panel, Sent sent, const PortPanels &panels);

// Gives the panel's speed commands the state its port calls for: enabled while it is open and
// not waiting to close.
void UpdateCommands(PortPanel &panel);
