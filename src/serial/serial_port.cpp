// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/serial_port.h"

#include <QDeadlineTimer>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <utility>

SerialPort::SerialPort(const QString &portName, std::unique_ptr<SerialDevice> device,
                       QObject *parent)
    : QObject(parent)
    , m_portName(portName)
    , m_device(std::move(device))
{
    connectDevice();
}

SerialPort::~SerialPort()
{
    if (m_open)
        m_device->close();
}

void SerialPort::setDevice(std::unique_ptr<SerialDevice> device)
{
    Q_ASSERT(!m_open);
    m_device = std::move(device);
    connectDevice();
}

void SerialPort::connectDevice()
{
    // Told from inside the device's own event handling: answered once that has returned, and
    // only while the port is still open.
    const auto later = [this](void (SerialPort::*signal)()) {
        return [this, signal] {
            QMetaObject::invokeMethod(
                this,
                [this, signal] {
                    if (m_open)
                        emit(this->*signal)();
                },
                Qt::QueuedConnection);
        };
    };
    m_device->setFailureHandler(later(&SerialPort::deviceFailed));
    m_device->setSentHandler(later(&SerialPort::sent));
    m_device->setReadyHandler([this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!m_open)
                    emit readyToOpen();
            },
            Qt::QueuedConnection);
    });
}

void SerialPort::setPortOpen(bool open)
{
    if (open == m_open)
        return;
    if (!open) {
        m_device->close();
        m_open = false;
        m_sentBy = 0;
        // Closed all the same; but a driver that kept hold of the device may keep it from the
        // next OPEN, and the user should know.
        if (m_device->error() != SerialDevice::Error::None) {
            throw Failure(Failure::DeviceFailed,
                          tr("%1 is closed, but its driver did not let go of the device%2. "
                             "OPEN may find it busy until the driver does.")
                              .arg(displayName(), systemWords()));
        }
        return;
    }
    //: What the port could not do, completing "%1 could not %2" and "%1 … cannot %2".
    if (!m_device->open(m_line))
        throw deviceFailure(tr("open"));
    // A character split across two reads must not outlive the session it started in.
    m_decoder.reset();
    m_open = true;
    ++m_openCount;
}

void SerialPort::setRTSEnable(bool active)
{
    requireOpen(tr("set RTS"));
    if (!m_device->setRequestToSend(active))
        throw deviceFailure(tr("set RTS"));
}

void SerialPort::setSettings(const QString &settings)
{
    const std::optional<LineSettings> line = LineSettings::parse(settings);
    if (!line) {
        throw Failure(Failure::InvalidSettings,
                      tr("%1: \"%2\" is not a valid line setting. Use speed, parity, data bits "
                         "and stop bits, as in \"9600,n,8,1\".")
                          .arg(displayName(), settings));
    }
    if (m_open && !m_device->apply(*line)) {
        const Failure failure
            = deviceFailure(tr("change the line settings to \"%1\"").arg(settings));
        if (m_open) // a device that stopped working has been closed
            m_device->apply(m_line); // the old settings stay in force
        throw failure;
    }
    m_line = *line;
    m_settings = settings;
}

void SerialPort::setOutput(const QString &text)
{
    requireOpen(tr("send"));
    // A converter of its own each time: one that is kept would keep the half of a character
    // that a refused text ended with, and refuse the next text for it.
    const QByteArray bytes = QStringEncoder(QStringConverter::System).encode(text);
    // A character the system's 8-bit encoding has no bytes for would leave as "?" or as a
    // look-alike (Windows' code pages): refuse the text, before any of it is sent. The bytes
    // are read back with a plain letter after them, as Qt's Windows decoder drops a NUL at the
    // end, and the speed code of 115200 is a lone NUL.
    if (QStringDecoder(QStringConverter::System).decode(bytes + 'x') != text + u'x') {
        throw Failure(Failure::InvalidText,
                      tr("%1 cannot send the text: it holds characters that the system's "
                         "character set has no bytes for. Nothing was sent.")
                          .arg(displayName()));
    }
    if (!bytes.isEmpty() && !m_device->write(bytes))
        throw deviceFailure(tr("send"));
    const qint64 now = QDeadlineTimer::current().deadline();
    m_sentBy = std::max(m_sentBy, now) + millisecondsToSend(bytes.size());
}

QString SerialPort::input()
{
    requireOpen(tr("receive"));
    const QByteArray bytes = m_device->readAll();
    // Bytes that arrived before a failure are handed out first; the failure follows next time.
    const bool failed = m_device->error() != SerialDevice::Error::None;
    if (bytes.isEmpty() && m_unread.isEmpty() && failed)
        throw deviceFailure(tr("receive"));
    return std::exchange(m_unread, {}) + m_decoder.decode(bytes, failed);
}

qint64 SerialPort::bytesToWrite() const
{
    return m_open ? m_device->bytesToWrite() : 0;
}

qint64 SerialPort::millisecondsToSend(qint64 bytes) const
{
    return m_line.millisecondsFor(bytes);
}

// Many drivers say "sent" once the adapter has the bytes (cdc-acm, pl2303, ch341, and on Windows
// serial.sys once they are in the UART's FIFO), while the adapter still puts them on the wire. The
// margin covers what even a driver that asks the chip cannot tell: a character in the shift
// register, USB frames, the driver's polls.
qint64 SerialPort::millisecondsUntilSent() const
{
    // A device that hands bytes to the driver later than Output took them counts from then.
    const qint64 sentBy = std::max(m_sentBy, m_open ? m_device->sentBy() : 0);
    if (sentBy == 0)
        return 0;
    const qint64 margin = millisecondsToSend(2) + 20;
    return std::max<qint64>(sentBy + margin - QDeadlineTimer::current().deadline(), 0);
}

bool SerialPort::drain()
{
    // A device that failed has not sent what it held, whichever notice came first: its failure
    // is reported instead, and closes the port.
    if (m_open && m_device->error() == SerialDevice::Error::Io)
        return false;
    return !m_open || m_device->drain();
}

void SerialPort::discardOutput()
{
    if (!m_open)
        return;
    m_device->discardOutput();
    m_sentBy = 0;
}

QString SerialPort::lineErrors() const
{
    return m_open ? m_device->lineErrors() : QString();
}

void SerialPort::checkDevice()
{
    if (m_open && m_device->error() == SerialDevice::Error::Io)
        throw deviceFailure(tr("stay open"));
}

void SerialPort::requireOpen(const QString &action) const
{
    if (!m_open) {
        throw Failure(
            Failure::PortNotOpen,
            tr("%1 is not open, so it cannot %2. Click OPEN first.").arg(displayName(), action));
    }
}
