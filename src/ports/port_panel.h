// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <array>

class Delay;
class Drain;
class QPushButton;
class SerialPort;
class StatusLine;
class TextBox;

// Everything an operation needs of one port panel. The window builds two, once, and they live
// as long as it does.
//
// Whether the port is open is the component's to say; what the panel is doing with it besides is
// its task, one at a time. Together they decide what each click does:
//
//   port, task               OPEN        CLOSE                       speed      Send  Read  device
//   closed                   open (1)    -                           disabled   -     -     choose
//   closed, FindingDevice    -           gives up opening            disabled   -     -     -
//   closed, Opening          -           gives up opening            disabled   -     -     -
//   open                     -           closes once sent (2)        change (2) send  read  -
//   open, ClosingOnceSent    keeps open  closes at once, 8019 (3)    disabled   -     read  -
//   open, ChangingSpeed...   -           closes at once, 8019 or     -          -     read  -
//                                        8018 (4)
//
//   (1) at once when the device can be opened at once; else Opening, until the system has let
//       the device go (its last closing still sends what it held) and the device says ready.
//       An adapter chosen by what it is is first looked for in the system's list of ports
//       (FindingDevice), off the window's thread.
//   (2) at once when nothing sent earlier is still leaving; else ClosingOnceSent, or
//       ChangingSpeedOnceSent, until the driver says it has left (Drain).
//   (3) when anything had to be thrown away; a driver that did not let go of the device is told
//       in the same message.
//   (4) 8019 while the change still waits for the text before it: nothing of it reached the
//       line; 8018 once it has begun: it is cut short.
//
// A speed change goes through its steps on its own: ChangingSpeedOnceSent, then RtsInactive
// (100 ms), CodeLeaving (until the driver says the code byte has left), CodeSent (100 ms),
// RtsActive (100 ms), and back to no task with the new settings. Any failure on the panel ends
// its task, and a device that fails between clicks is reported and closed at once.
struct PortPanel
{
    enum class Task {
        None,
        FindingDevice,
        Opening,
        ClosingOnceSent,
        ChangingSpeedOnceSent,
        RtsInactive,
        CodeLeaving,
        CodeSent,
        RtsActive,
    };

    SerialPort *comm = nullptr;
    Drain *drain = nullptr;
    Delay *delay = nullptr;
    // In the order 115200, 57600, 38400, 19200, 9600.
    std::array<QPushButton *, 5> speedCommands {};
    QPushButton *openCommand = nullptr;
    TextBox *sendBox = nullptr;
    TextBox *receiveBox = nullptr;
    StatusLine *statusLine = nullptr;

    Task task = Task::None;
    int speedRow = 0; // of the speed change that runs

    // A speed change runs: its framing must not be interleaved, so the panel's speed commands
    // and Send do nothing meanwhile. They stay enabled, because disabling the focused one would
    // pass the keyboard focus on into the other panel.
    bool changingSpeed() const { return task >= Task::ChangingSpeedOnceSent; }
    // Whether another device may be chosen: only for a port that is closed and left alone.
    bool deviceChoosable() const;
};

struct PortPanels
{
    PortPanel port1;
    PortPanel port2;
};

// The steps every operation shares. OPEN and CLOSE are in open_close.h, the speed change in
// speed_change.h, Send and Read in send_read.h; each goes on with its own task when what the
// task waited for has come.
void Status(const PortPanels &panels);

// Ends the panel's task: nothing it waited for goes on, and nothing more of it reaches the line.
// A failure on the panel ends it, and so does quitting.
void EndTask(PortPanel &panel);

// Gives the panel's speed commands the state its port calls for: enabled while it is open and
// not waiting to close.
void UpdateCommands(PortPanel &panel);
