// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "fake_serial_device.h"

#include <chrono>
#include <utility>

namespace {

qint64 nowNs()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

FakeSerialDevice::FakeSerialDevice(const QString &location)
    : m_location(location)
{ }

bool FakeSerialDevice::open(const LineSettings &settings)
{
    if (!step(QStringLiteral("open")))
        return false;
    m_open = true;
    m_line = settings;
    m_rts = true; // the system raises RTS with the port
    return true;
}

void FakeSerialDevice::close()
{
    m_events->append({nowNs(), QStringLiteral("close"), m_line.baudRate});
    m_open = false;
    m_draining = false;
    m_broken = false;
    m_error = std::exchange(m_keepOnClose, false) ? Error::Io : Error::None;
}

bool FakeSerialDevice::apply(const LineSettings &settings)
{
    if (!step(QStringLiteral("settings %1").arg(settings.baudRate)))
        return false;
    m_line = settings;
    return true;
}

bool FakeSerialDevice::setRequestToSend(bool active)
{
    if (!step(active ? QStringLiteral("rts on") : QStringLiteral("rts off")))
        return false;
    m_rts = active;
    return true;
}

bool FakeSerialDevice::write(const QByteArray &bytes)
{
    if (!step(QStringLiteral("write ") + QString::fromLatin1(bytes.toHex(' '))))
        return false;
    m_written += bytes;
    m_transmitting = m_transmitting || m_holdWrites;
    return true;
}

QByteArray FakeSerialDevice::readAll()
{
    // As a real device does, it hands out what had arrived even once it has failed.
    step(QStringLiteral("read"));
    return std::exchange(m_received, {});
}

bool FakeSerialDevice::drain()
{
    if (m_broken)
        return false;
    m_draining = m_open && (m_unsent > 0 || m_transmitting);
    return !m_draining;
}

void FakeSerialDevice::discardOutput()
{
    m_events->append({nowNs(), QStringLiteral("discard %1").arg(m_unsent), m_line.baudRate});
    m_unsent = 0;
    m_transmitting = false;
}

void FakeSerialDevice::setUnsent(qint64 count)
{
    m_unsent = count;
    reportSentIfDone();
}

void FakeSerialDevice::setTransmitting(bool transmitting)
{
    m_transmitting = transmitting;
    reportSentIfDone();
}

void FakeSerialDevice::reportSentIfDone()
{
    if (m_unsent > 0 || m_transmitting)
        return;
    m_events->append({nowNs(), QStringLiteral("sent"), m_line.baudRate});
    if (std::exchange(m_draining, false))
        reportSent();
}

QString FakeSerialDevice::errorString() const
{
    return m_error == Error::None ? QString() : QStringLiteral("fake failure");
}

QStringList FakeSerialDevice::log() const
{
    QStringList lines;
    for (const Event &event : *m_events) {
        if (event.what != u"read")
            lines.append(event.what);
    }
    return lines;
}

bool FakeSerialDevice::step(const QString &what)
{
    m_events->append({nowNs(), what, m_line.baudRate});
    m_error = m_broken ? Error::Io : std::exchange(m_failNext, Error::None);
    return m_error == Error::None;
}
