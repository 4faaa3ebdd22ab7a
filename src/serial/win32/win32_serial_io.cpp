// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/win32/win32_pending_io.h"
#include "serial/win32/win32_serial_device.h"

#include <algorithm>
#include <utility>

bool Win32SerialDevice::write(const QByteArray &bytes)
{
    if (!begin() || !m_io)
        return false;
    m_queued += bytes;
    ++m_writes;
    if (m_io->writing.isEmpty())
        startWrite();
    return m_error == Error::None;
}

QByteArray Win32SerialDevice::readAll()
{
    // What the driver has handed over already, even when the event loop has not yet been told.
    if (m_error == Error::None && m_handle != INVALID_HANDLE_VALUE && m_io->reading
        && HasOverlappedIoCompleted(&m_io->read)) {
        onReceived();
    }
    return std::exchange(m_received, {});
}

// One read is always with the driver, so that bytes are taken as they come without asking, and
// so that a line that goes away ends it with a failure at once.
void Win32SerialDevice::receive()
{
    DWORD errors = 0;
    COMSTAT status {};
    if (!ClearCommError(m_handle, &errors, &status)) {
        fail(GetLastError());
        return;
    }
    m_lineErrors |= errors;
    // Without read timeouts this ends once it has them all: at once when the driver holds bytes,
    // else with the next one. Reads are never more than one, so that bytes keep their order.
    const DWORD size = std::max<DWORD>(status.cbInQue, 1);
    m_io->readBuffer.resize(qsizetype(size));
    m_io->reading = true;
    if (!ReadFile(m_handle, m_io->readBuffer.data(), size, nullptr, &m_io->read)) {
        const DWORD code = GetLastError();
        if (code != ERROR_IO_PENDING) {
            m_io->reading = false;
            fail(code);
            return;
        }
    }
    // The event is signalled when the driver is done, at once or later.
    m_receivedNotifier.setEnabled(true);
}

void Win32SerialDevice::onReceived()
{
    m_receivedNotifier.setEnabled(false);
    DWORD count = 0;
    const bool read = GetOverlappedResult(m_handle, &m_io->read, &count, FALSE);
    const DWORD code = GetLastError();
    m_io->reading = false;
    m_received.append(m_io->readBuffer.constData(), qsizetype(count));
    if (!read) {
        fail(code);
    } else if (count > 0) {
        receive();
    } else {
        // A read that ended empty would end so again at once: a look at the line a moment later
        // reads on, while the port is open and working.
        QTimer::singleShot(emptyReadRetryMs, &m_lineCheck, [this] {
            if (m_lineCheck.isActive())
                checkLine();
        });
    }
}

// Asks for the line's state, which fails once the device has gone.
bool Win32SerialDevice::checkLine()
{
    DWORD errors = 0;
    COMSTAT status {};
    if (!ClearCommError(m_handle, &errors, &status))
        return fail(GetLastError());
    m_lineErrors |= errors;
    if (!m_io->reading)
        receive();
    return m_error == Error::None;
}

qint64 Win32SerialDevice::bytesToWrite()
{
    if (m_handle == INVALID_HANDLE_VALUE || m_error == Error::Io)
        return 0;
    DWORD errors = 0;
    COMSTAT status {};
    if (!ClearCommError(m_handle, &errors, &status)) {
        fail(GetLastError()); // not "all sent": the port has failed
        return 0;
    }
    m_lineErrors |= errors;
    // A write with the driver is what it had not taken at its last answer, a moment ago. The
    // driver's queue counts it too in serial.sys, not under Wine, whose queue is its terminal's:
    // the larger of the two, which is exact while the line takes nothing.
    const qint64 writing = m_writeDiscarded ? 0 : m_io->writing.size();
    return m_queued.size() + std::max<qint64>(writing, status.cbOutQue);
}

void Win32SerialDevice::startWrite()
{
    m_io->writing = std::exchange(m_queued, {});
    ResetEvent(m_io->write.hEvent);
    if (!WriteFile(m_handle, m_io->writing.constData(), DWORD(m_io->writing.size()), nullptr,
                   &m_io->write)) {
        const DWORD code = GetLastError();
        if (code != ERROR_IO_PENDING) {
            m_io->writing.clear();
            fail(code);
            return;
        }
    }
    m_writtenNotifier.setEnabled(true);
}

void Win32SerialDevice::onWritten()
{
    m_writtenNotifier.setEnabled(false);
    DWORD count = 0;
    const bool written = GetOverlappedResult(m_handle, &m_io->write, &count, FALSE);
    const DWORD code = GetLastError();
    // The write's time ran out: Windows answers with what went, Wine with a failure when nothing
    // did.
    const bool timedOut = DWORD(m_io->write.Internal) == STATUS_TIMEOUT;
    const QByteArray rest = std::exchange(m_io->writing, {}).mid(qsizetype(count));
    if (std::exchange(m_writeDiscarded, false)) {
        // Cancelled by discardOutput(): what it had not sent is gone.
    } else if (!written && !timedOut) {
        fail(code);
        return;
    } else {
        m_queued.prepend(rest);
    }
    if (!m_queued.isEmpty())
        startWrite();
    else if (m_drainWanted)
        startFlush();
}
