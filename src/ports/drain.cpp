// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "ports/drain.h"

#include "serial/serial_port.h"

namespace {

// Neither Qt nor the drivers say when the line takes the next bytes: the queue is looked at this
// often, for progress and for the deadline only; the end itself the driver tells.
constexpr int lookEveryMs = 50;
constexpr qint64 graceMs = 1000;

} // namespace

Drain::Drain(SerialPort *comm, QObject *parent)
    : QObject(parent)
    , m_comm(comm)
{
    m_looks.setInterval(lookEveryMs);
    connect(&m_looks, &QTimer::timeout, this, &Drain::look);
    m_rest.setSingleShot(true);
    m_rest.setTimerType(Qt::PreciseTimer);
    connect(&m_rest, &QTimer::timeout, this, [this] {
        const bool same = m_comm->portOpen() && m_comm->openCount() == m_opening;
        end(same ? Sent::All : Sent::Interrupted);
    });
    connect(m_comm, &SerialPort::sent, this, &Drain::onSent);
}

bool Drain::start()
{
    m_opening = m_comm->openCount();
    if (m_comm->drain())
        return !waitForTheLine();
    m_unsent = m_comm->bytesToWrite();
    m_deadline = deadlineFor(m_unsent);
    m_looks.start();
    return false;
}

void Drain::look()
{
    if (!m_comm->portOpen() || m_comm->openCount() != m_opening)
        return end(Sent::Interrupted);
    // Any progress, and any more written meanwhile, gives the rest its own time from now.
    const qint64 unsent = m_comm->bytesToWrite();
    if (unsent != m_unsent)
        m_deadline = deadlineFor(unsent);
    m_unsent = unsent;
    if (m_deadline.hasExpired())
        end(Sent::Stalled);
}

void Drain::onSent()
{
    // Asked again, in case more was written since the driver was asked.
    if (!m_looks.isActive() || m_comm->openCount() != m_opening || !m_comm->drain())
        return;
    m_looks.stop();
    if (!waitForTheLine())
        end(Sent::All);
}

// The driver has answered; whether the line still needs time for what was written, and then a
// timer waits for it.
bool Drain::waitForTheLine()
{
    const qint64 rest = m_comm->millisecondsUntilSent();
    if (rest > 0)
        m_rest.start(int(rest));
    return rest > 0;
}

void Drain::end(Sent sent)
{
    stop();
    emit finished(sent);
}

// Bytes the driver no longer counts may still be in the adapter's own buffer: the line gets at
// least the time everything written needs from when it was written.
QDeadlineTimer Drain::deadlineFor(qint64 unsent) const
{
    const qint64 needs
        = std::max(m_comm->millisecondsToSend(unsent), m_comm->millisecondsUntilSent());
    return QDeadlineTimer(needs + graceMs);
}
