// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "ports/speed_change.h"

#include "ports/delay.h"
#include "ports/drain.h"
#include "ports/port_panel.h"
#include "serial/serial_port.h"

#include <QCoreApplication>
#include <QScopedValueRollback>

namespace {

constexpr qint16 stepWait = 100;

// A sequence belongs to the opening of the port it started on. Once that opening has been
// closed, by CLOSE or by a failure, and even when the port has been opened again since, nothing
// more of the sequence may reach the line: the module would take an unframed byte as a code.
Failure cutShort(const SerialPort &comm, const SpeedRow &speed)
{
    return Failure(Failure::PortNotOpen,
                   QCoreApplication::translate(
                       "ChangeSpeed",
                       "The speed change of %1 to %2 was cut short: the port was closed while it "
                       "ran. Nothing more was sent and the line settings were not changed; the "
                       "module may already have taken the new speed. Click OPEN and choose the "
                       "speed again.")
                       .arg(comm.displayName(), QString::fromLatin1(speed.settings)));
}

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

void runSequence(PortPanel &panel, const SpeedRow &speed, const PortPanels &panels)
{
    const QScopedValueRollback<bool> busy(panel.changingSpeed, true);
    SerialPort &comm = *panel.comm;
    const quint32 opening = comm.openCount();
    // False when the sequence is to be abandoned: the application is quitting, or the failure
    // that closed the port has been reported already.
    const auto wait = [&] {
        if (!Delay(stepWait))
            return false;
        if (comm.portOpen() && comm.openCount() == opening)
            return true;
        if (comm.failedAt(opening))
            return false;
        throw cutShort(comm, speed);
    };

    comm.setRTSEnable(false);
    if (!wait())
        return;
    comm.setOutput(QString(QChar(speed.code)));
    if (!wait())
        return;
    comm.setRTSEnable(true);
    if (!wait())
        return;
    comm.setSettings(QString::fromLatin1(speed.settings));
    Status(panels);
}

} // namespace

void ChangeSpeed(PortPanel &panel, int row, const PortPanels &panels)
{
    if (panel.busy())
        return;
    // Text that Send handed over leaves first, at the old speed and before RTS drops: the module
    // must not take a byte of it for the speed code, nor the host meet the rest of it at the new
    // speed. The window goes on meanwhile, and ChangeSpeedOnceSent() goes on from there.
    if (!panel.drain->start()) {
        panel.afterSent = PortPanel::AfterSent::ChangeSpeed;
        panel.speedRow = row;
        return;
    }
    runSequence(panel, speedTable[row], panels);
}

void ChangeSpeedOnceSent(PortPanel &panel, Sent sent, const PortPanels &panels)
{
    const SpeedRow &speed = speedTable[panel.speedRow];
    switch (sent) {
    case Sent::All:
        runSequence(panel, speed, panels);
        break;
    case Sent::Stalled:
        throw stalled(*panel.comm, speed);
    case Sent::Interrupted: // by a failure of the device, which has been reported
        break;
    }
}
