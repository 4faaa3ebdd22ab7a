// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

class SerialPort;

enum class Sent {
    All, // nothing written is left in the host, nor in the adapter's transmitter
    Stalled, // the line took no more in the time the rest needs and a second more
    Interrupted, // the port was closed, or closed and opened again, meanwhile
};

// Waits until everything written to a port has left the line: the driver says so, and the line
// has had the time everything written needs at its speed since it was written, as many drivers
// say so while the adapter is still sending. It gives up once the line has taken nothing for the
// time the rest needs and a second more. It holds nothing up meanwhile: the window, the other
// port and their own waits go on, and the result comes as a signal.
class Drain : public QObject
{
    Q_OBJECT

public:
    explicit Drain(SerialPort *comm, QObject *parent = nullptr);

    // True when everything has left already; otherwise finished() follows, unless stop() comes
    // first.
    bool start();
    void stop()
    {
        m_looks.stop();
        m_rest.stop();
    }

signals:
    void finished(Sent sent);

private:
    void look();
    void onSent();
    bool waitForTheLine();
    void end(Sent sent);
    QDeadlineTimer deadlineFor(qint64 unsent) const;

    SerialPort *const m_comm;
    QTimer m_looks;
    QTimer m_rest; // the driver has said sent: the time the line still needs
    QDeadlineTimer m_deadline;
    qint64 m_unsent = 0;
    quint32 m_opening = 0;
};
