// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/qt/qt_serial_device.h"

#include "serial/line_settings.h"
#include "serial/qt/exclusive_lock.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

// The system's words for an asynchronous failure are often stale; say what happened instead.
QString ioFailureText(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ReadError:
        return QCoreApplication::translate("QtSerialDevice",
                                           "read error: the line hung up or the device went away");
    case QSerialPort::WriteError:
        return QCoreApplication::translate("QtSerialDevice",
                                           "write error: the device took no more data");
    case QSerialPort::ResourceError:
        return QCoreApplication::translate("QtSerialDevice",
                                           "the device was removed or became unavailable");
    default:
        return QCoreApplication::translate("QtSerialDevice", "input/output error");
    }
}

QSerialPort::Parity qtParity(LineSettings::Parity parity)
{
    switch (parity) {
    case LineSettings::Parity::Even:
        return QSerialPort::EvenParity;
    case LineSettings::Parity::Odd:
        return QSerialPort::OddParity;
    case LineSettings::Parity::Mark:
        return QSerialPort::MarkParity;
    case LineSettings::Parity::Space:
        return QSerialPort::SpaceParity;
    case LineSettings::Parity::None:
        break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits qtStopBits(LineSettings::StopBits stopBits)
{
    switch (stopBits) {
    case LineSettings::StopBits::OneAndHalf:
        return QSerialPort::OneAndHalfStop;
    case LineSettings::StopBits::Two:
        return QSerialPort::TwoStop;
    case LineSettings::StopBits::One:
        break;
    }
    return QSerialPort::OneStop;
}

} // namespace

std::unique_ptr<SerialDevice> SerialDevice::create(const QString &location)
{
    return std::make_unique<QtSerialDevice>(location);
}

QtSerialDevice::QtSerialDevice(const QString &location)
    : m_location(location)
{
    m_port.setPortName(location);
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError error) { onErrorOccurred(error); });
    QObject::connect(&m_port, &QSerialPort::bytesWritten, &m_port, [this] {
        if (m_drainQueued && m_port.bytesToWrite() == 0)
            waitForTransmitter();
    });
}

// The line closes as always, its last descriptor on a thread; and a claim under way is given up
// before the port that its answer would be posted to goes.
QtSerialDevice::~QtSerialDevice()
{
    if (m_port.isOpen())
        closePort();
    m_lock.release();
}

QString QtSerialDevice::location() const
{
    return m_location;
}

// The claim is what may wait for the system: once it is taken, QSerialPort's own opening of the
// same line finds it open already and does not wait.
bool QtSerialDevice::prepareOpen()
{
    if (m_lock.isPrepared())
        return true;
    m_lock.prepare(m_location, &m_port, [this] { reportReady(); });
    return false;
}

void QtSerialDevice::cancelOpen()
{
    m_lock.release();
}

bool QtSerialDevice::open(const LineSettings &settings)
{
    clearError();
    // Opening applies settings and exclusive mode; a held line must not see either.
    if (!m_lock.acquire(m_location)) {
        m_error = Error::InUse;
        return false;
    }
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_lock.release();
        return fail();
    }
    if (!apply(settings)) {
        // Closed without close(), which would forget why the open failed.
        m_port.close();
        m_lock.release();
        return false;
    }
    return true;
}

void QtSerialDevice::close()
{
    closePort();
    m_lock.release();
    m_received.clear();
    clearError();
}

bool QtSerialDevice::apply(const LineSettings &settings)
{
    if (!begin())
        return false;
    // Every setter runs even after one has failed: QSerialPort keeps the refused value in its
    // working copy of the terminal attributes, and only a later successful call writes a
    // consistent whole back to the device.
    bool applied = m_port.setBaudRate(settings.baudRate);
    applied &= m_port.setParity(qtParity(settings.parity));
    applied &= m_port.setDataBits(QSerialPort::DataBits(settings.dataBits));
    applied &= m_port.setStopBits(qtStopBits(settings.stopBits));
    applied &= m_port.setFlowControl(QSerialPort::NoFlowControl);
    return applied || fail();
}

bool QtSerialDevice::setRequestToSend(bool active)
{
    return begin() && (m_port.setRequestToSend(active) || fail());
}

SerialDevice::Error QtSerialDevice::error() const
{
    return m_error;
}

QString QtSerialDevice::errorString() const
{
    return m_errorString;
}

bool QtSerialDevice::begin()
{
    // An input/output failure means bytes may be lost; it stays until the port is closed.
    if (m_error == Error::Io)
        return false;
    clearError();
    return true;
}

void QtSerialDevice::clearError()
{
    m_error = Error::None;
    m_errorString.clear();
}

bool QtSerialDevice::fail()
{
    if (m_error == Error::None)
        onErrorOccurred(m_port.error() == QSerialPort::NoError ? QSerialPort::UnknownError
                                                               : m_port.error());
    return false;
}

void QtSerialDevice::onErrorOccurred(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
        return;
    case QSerialPort::DeviceNotFoundError:
        m_error = Error::NotFound;
        break;
    case QSerialPort::PermissionError: {
        // Qt reports a port locked by another program like a refused permission. When the file
        // itself would let us in, somebody else holds it.
        const QFileInfo file(m_location);
        m_error = file.isReadable() && file.isWritable() ? Error::InUse : Error::PermissionDenied;
        break;
    }
    case QSerialPort::UnsupportedOperationError:
        m_error = Error::Unsupported;
        break;
    default:
        m_error = Error::Io;
        break;
    }
    m_errorString = m_error == Error::Io ? ioFailureText(error) : m_port.errorString();
    m_port.clearError();

    // A failing device keeps signalling, and QSerialPort would keep waking us for it: close it
    // once control is back in the event loop, so that nothing spins. What arrived before the
    // failure waits for the next read; the failure stays until the port is closed.
    if (m_error == Error::Io && m_port.isOpen()) {
        QMetaObject::invokeMethod(
            &m_port,
            [this] {
                if (m_port.isOpen()) {
                    m_received += m_port.readAll();
                    closePort();
                }
            },
            Qt::QueuedConnection);
        reportFailure();
    }
}
