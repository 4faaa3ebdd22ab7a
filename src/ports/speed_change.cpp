// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "ports/speed_change.h"

#include "ports/delay.h"
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
