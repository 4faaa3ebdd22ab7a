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
                       "The speed change of %1 to %2 did not start: %3 of the bytes sent before it "
                       "could not leave the line, which the far end may have stopped. Nothing was "
                       "changed; choose the speed again once the line takes data.")
                       .arg(comm.displayName(), QString::fromLatin1(speed.settings))
                       .arg(comm.bytesToWrite()));
}

} // namespace

void ChangeSpeed(PortPanel &panel, int row, const PortPanels &panels)
{
    if (panel.changingSpeed)
        return;
    const SpeedRow &speed = speedTable[row];
    const QScopedValueRollback<bool> busy(panel.changingSpeed, true);
    SerialPort &comm = *panel.comm;
    const quint32 opening = comm.openCount();
    // False when the application is quitting and the sequence is to be abandoned.
    const auto wait = [&] {
        if (!Delay(stepWait))
            return false;
        if (!comm.portOpen() || comm.openCount() != opening)
            throw cutShort(comm, speed);
        return true;
    };

    // Text that Send handed over leaves first, at the old speed: the module must not take a byte
    // of it for the speed code, nor the host meet the rest of it at the new speed.
    switch (WaitUntilSent(comm)) {
    case Sent::All:
        break;
    case Sent::Stalled:
        throw stalled(comm, speed);
    case Sent::Interrupted:
        throw cutShort(comm, speed);
    case Sent::Quitting:
        return;
    }
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
