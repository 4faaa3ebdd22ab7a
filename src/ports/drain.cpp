// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "ports/drain.h"

#include "ports/delay.h"
#include "serial/serial_port.h"

#include <QDeadlineTimer>

namespace {

// Neither Qt nor the drivers say when the output queue runs empty: look at it this often.
constexpr qint16 lookEveryMs = 5;
constexpr qint64 graceMs = 1000;

} // namespace

Sent WaitUntilSent(const SerialPort &comm)
{
    const quint32 opening = comm.openCount();
    qint64 unsent = comm.bytesToWrite();
    QDeadlineTimer deadline(comm.millisecondsToSend(unsent) + graceMs);
    while (unsent > 0) {
        if (deadline.hasExpired())
            return Sent::Stalled;
        if (!Delay(lookEveryMs))
            return Sent::Quitting;
        if (!comm.portOpen() || comm.openCount() != opening)
            return Sent::Interrupted;
        const qint64 now = comm.bytesToWrite();
        if (now > unsent) // more was sent meanwhile: it has its own time
            deadline = QDeadlineTimer(comm.millisecondsToSend(now) + graceMs);
        unsent = now;
    }
    return Sent::All;
}
