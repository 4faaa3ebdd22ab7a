// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/posix/posix_serial_device.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <algorithm>

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

bool PosixSerialDevice::write(const QByteArray &bytes)
{
    if (!begin())
        return false;
    m_sent = false;
    m_writtenSinceAsked = m_transmitterWait.isRunning();
    m_queued += bytes;
    send();
    return m_error == Error::None;
}

// Hands the driver what it takes now; the rest follows once the descriptor takes more.
void PosixSerialDevice::send()
{
    while (!m_queued.isEmpty()) {
        const ssize_t written
            = ::write(m_descriptor, m_queued.constData(), size_t(m_queued.size()));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN) {
            fail(errno, Error::Io,
                 QCoreApplication::translate("PosixSerialDevice",
                                             "write error: the device took no more data"));
            return;
        }
        if (written <= 0)
            break;
        m_queued.remove(0, written);
        // The line may have had nothing to send while these waited here.
        m_sentBy = std::max(m_sentBy, QDeadlineTimer::current().deadline())
            + m_line.millisecondsFor(written);
    }
    m_writable.setEnabled(!m_queued.isEmpty());
    if (m_queued.isEmpty() && m_drainWanted)
        waitForTransmitter();
}

// Everything the driver holds is taken at once: a notice of bytes comes once for all of them.
void PosixSerialDevice::receive()
{
    char buffer[16384];
    for (;;) {
        const ssize_t count = ::read(m_descriptor, buffer, sizeof buffer);
        if (count > 0) {
            m_received.append(buffer, count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno == EAGAIN)
            return;
        // Nothing read and no error: a hung-up line, unless another program cleared VMIN.
        pollfd look {m_descriptor, 0, 0};
        if (count == 0 && (::poll(&look, 1, 0) <= 0 || !(look.revents & (POLLHUP | POLLERR))))
            return;
        fail(count < 0 ? errno : EIO, Error::Io,
             QCoreApplication::translate("PosixSerialDevice",
                                         "read error: the line hung up or the device went away"));
        return;
    }
}

QByteArray PosixSerialDevice::readAll()
{
    // What the driver holds right now as well, not only what the event loop has fetched; after
    // a failure, what had been fetched before it.
    if (m_error != Error::Io && isOpen())
        receive();
    return std::exchange(m_received, {});
}

qint64 PosixSerialDevice::bytesToWrite()
{
    int queued = 0;
    if (!isOpen() || m_error == Error::Io || ::ioctl(m_descriptor, TIOCOUTQ, &queued) != 0)
        return isOpen() && m_error != Error::Io ? m_queued.size() : 0;
    return m_queued.size() + queued;
}

// The driver's answer stands until the next write. Asking it may take a request over USB
// (ftdi_sio asks the adapter for its transmitter's state, and waits up to 5 s for the answer):
// never on the caller's thread.
bool PosixSerialDevice::drain()
{
    if (m_error == Error::Io)
        return false; // nothing more can leave, and not all of it has: the failure tells
    if (!isOpen() || m_sent)
        return true;
    m_drainWanted = true;
    if (m_queued.isEmpty())
        waitForTransmitter(); // else once the driver has taken the last of it
    return false;
}

// The program's queue and the driver's, where the driver can throw it away (the USB serial
// drivers cannot); a wait for the transmitter then ends by itself.
void PosixSerialDevice::discardOutput()
{
    if (!isOpen() || m_error == Error::Io)
        return;
    m_queued.clear();
    m_writable.setEnabled(false);
    ::tcflush(m_descriptor, TCOFLUSH);
    m_sent = true;
    m_sentBy = 0;
    if (std::exchange(m_drainWanted, false))
        reportSent();
}

// A wait that runs already answers first; one that does not cover what was written since asks
// again. A wait that ended in an error is the line's failure: nothing is sent.
void PosixSerialDevice::waitForTransmitter()
{
    if (m_transmitterWait.isRunning())
        return;
    m_writtenSinceAsked = false;
    m_transmitterWait.start(m_descriptor, &m_readable, [this](int error) {
        if (error != 0) {
            fail(error, Error::Io,
                 QCoreApplication::translate("PosixSerialDevice",
                                             "the device was removed or became unavailable"));
            return;
        }
        if (m_writtenSinceAsked) {
            if (m_drainWanted && m_queued.isEmpty())
                waitForTransmitter();
            return;
        }
        m_sent = true;
        if (std::exchange(m_drainWanted, false))
            reportSent();
    });
}
