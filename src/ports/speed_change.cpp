// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "ports/speed_change.h"

#include "ports/delay.h"
#include "ports/drain.h"
#include "ports/port_panel.h"
#include "serial/serial_port.h"

#include <QCoreApplication>

namespace {

using Task = PortPanel::Task;

constexpr qint16 stepWait = 100;

Failure stalled(const SerialPort &comm, const SpeedRow &speed)
{
    return Failure(Failure::DeviceBusy,
                   QCoreApplication::translate(
                       "ChangeSpeed",
                       "The speed change of %1 to %2 did not start: the text sent before it did "
                       "not leave the line in time (%3 bytes still waiting), which the far end "
                       "may have stopped. Nothing was changed; choose the speed again once the "
                       "line takes data.")
                       .arg(comm.displayName(), QString::fromLatin1(speed.settings))
                       .arg(comm.bytesToWrite()));
}

Failure codeStalled(const SerialPort &comm, const SpeedRow &speed)
{
    return Failure(Failure::DeviceBusy,
                   QCoreApplication::translate(
                       "ChangeSpeed",
                       "The speed change of %1 to %2 stopped: its speed code did not leave the "
                       "line in time. The code was discarded, RTS is active again and the line "
                       "settings were not changed; the module may have taken the code all the "
                       "same. Choose the speed again once the line takes data.")
                       .arg(comm.displayName(), QString::fromLatin1(speed.settings)));
}

void step(PortPanel &panel, Task task)
{
    panel.task = task;
    panel.delay->start(stepWait);
}

} // namespace

void ChangeSpeed(PortPanel &panel, int row)
{
    if (panel.task != Task::None)
        return;
    // Text that Send handed over leaves first, at the old speed and before RTS drops: the module
    // must not take a byte of it for the speed code, nor the host meet the rest of it at the new
    // speed. The window goes on meanwhile.
    panel.speedRow = row;
    panel.task = Task::ChangingSpeedOnceSent;
    if (panel.drain->start()) {
        panel.comm->setRTSEnable(false);
        step(panel, Task::RtsInactive);
    }
}

void SpeedChangeDelayed(PortPanel &panel, const PortPanels &panels)
{
    SerialPort &comm = *panel.comm;
    const SpeedRow &speed = speedTable[panel.speedRow];
    switch (panel.task) {
    case Task::RtsInactive:
        // The next wait counts from when the driver says the code has left, not from the write:
        // the driver puts the byte on the line later, and later still on a busy machine, and the
        // module is owed its 100 ms at the wire.
        comm.setOutput(QString(QChar(speed.code)));
        panel.task = Task::CodeLeaving;
        if (panel.drain->start())
            step(panel, Task::CodeSent);
        break;
    case Task::CodeSent:
        comm.setRTSEnable(true);
        step(panel, Task::RtsActive);
        break;
    case Task::RtsActive:
        panel.task = Task::None;
        comm.setSettings(QString::fromLatin1(speed.settings));
        Status(panels);
        break;
    default:
        break;
    }
}

void SpeedChangeSent(PortPanel &panel, Sent sent)
{
    if (panel.task != Task::ChangingSpeedOnceSent && panel.task != Task::CodeLeaving)
        return;
    SerialPort &comm = *panel.comm;
    const SpeedRow &speed = speedTable[panel.speedRow];
    const bool code = panel.task == Task::CodeLeaving;
    switch (sent) {
    case Sent::All:
        if (!code)
            comm.setRTSEnable(false);
        step(panel, code ? Task::CodeSent : Task::RtsInactive);
        break;
    case Sent::Stalled:
        panel.task = Task::None;
        if (!code)
            throw stalled(comm, speed);
        // A code that leaves later, unframed, would be taken for one all the same.
        comm.discardOutput();
        comm.setRTSEnable(true);
        throw codeStalled(comm, speed);
    case Sent::Interrupted: // by a failure of the device, which has been reported
        panel.task = Task::None;
        break;
    }
}
