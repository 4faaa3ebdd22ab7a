// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/qt/qt_serial_device.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <utility>

bool QtSerialDevice::write(const QByteArray &bytes)
{
    if (!begin())
        return false;
    ++m_writes;
    if (m_port.write(bytes) != bytes.size())
        return fail();
    // QSerialPort holds written bytes until the event loop runs; push them to the driver now so
    // that they leave before whatever the caller does next. What the driver cannot take yet
    // stays queued and follows from the event loop.
    m_port.flush();
    return m_error == Error::None || fail();
}

QByteArray QtSerialDevice::readAll()
{
    // Take what the driver holds right now as well, not only what the event loop has fetched;
    // after a failure, at least what had been fetched before it.
    const bool working = begin();
    if (m_port.isOpen()) {
        if (working)
            m_port.waitForReadyRead(0);
        m_received += m_port.readAll();
    }
    return std::exchange(m_received, {});
}

bool QtSerialDevice::drain()
{
    if (m_error == Error::Io)
        return false; // nothing more can leave, and not all of it has: the failure tells
    if (!m_port.isOpen())
        return true;
    if (m_port.bytesToWrite() > 0) {
        m_drainQueued = true; // the driver has not got it all yet
        return false;
    }
    if (m_sentWrites == m_writes)
        return true; // the driver has said so since the last write
    // Only the driver can tell, and asking it may take a request over USB (ftdi_sio asks the
    // adapter for its transmitter's state, and waits up to 5 s for the answer): never on the
    // caller's thread.
    waitForTransmitter();
    return false;
}

void QtSerialDevice::discardOutput()
{
    if (!m_port.isOpen())
        return;
    // Qt's own buffer and the driver's queue, where the driver can throw it away (the USB serial
    // drivers cannot); a wait for the transmitter then ends by itself.
    m_port.clear(QSerialPort::Output);
    m_sentWrites = m_writes;
    if (std::exchange(m_drainQueued, false))
        reportSent();
}

// A wait that runs already answers first, for what it covers; the drain then asks again for what
// was written since. A wait that ended in an error is the line's failure: nothing is sent.
void QtSerialDevice::waitForTransmitter()
{
    m_drainQueued = false;
    const quint64 writes = m_writes;
    m_transmitterWait.start(int(m_port.handle()), &m_port, [this, writes](int error) {
        if (error != 0) {
            if (m_error != Error::Io) // told once, by whichever notice comes first
                onErrorOccurred(QSerialPort::ResourceError);
            return;
        }
        m_sentWrites = writes;
        reportSent();
    });
}

qint64 QtSerialDevice::bytesToWrite()
{
    if (!m_port.isOpen() || m_error == Error::Io)
        return 0;
    // Not asked of the transmitter: on an adapter that is a request over USB, and a byte or two
    // changes no count the user sees.
    return m_port.bytesToWrite() + driverQueue();
}

int QtSerialDevice::driverQueue() const
{
    int queued = 0;
    return ::ioctl(int(m_port.handle()), TIOCOUTQ, &queued) == 0 ? queued : 0;
}

// Every way the line closes goes through here: a wait for its transmitter must not outlive it.
void QtSerialDevice::closePort()
{
    m_drainQueued = false;
    m_writes = m_sentWrites = 0;
    m_transmitterWait.stop();
    // QSerialPort's close puts the line settings back at once to what they were before OPEN, and
    // nothing in Qt 6 turns that off: what a USB adapter's driver still sends from its own queue
    // would leave at a speed the module no longer uses. Its descriptor becomes one of /dev/null
    // first, where that does nothing, and the line keeps the module's speed until its last
    // descriptor, the lock's, has closed. Qt's exclusive mode is ended here for the same reason.
    const int null
        = m_port.isOpen() && m_lock.isHeld() ? ::open("/dev/null", O_RDWR | O_CLOEXEC) : -1;
    if (null >= 0) {
        const int line = int(m_port.handle());
        ::ioctl(line, TIOCNXCL);
        ::dup3(null, line, O_CLOEXEC);
        ::close(null);
    }
    m_port.close();
}
