// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/win32_serial_device.h"

#include <utility>

bool Win32SerialDevice::write(const QByteArray &bytes)
{
    if (!begin())
        return false;
    m_queued += bytes;
    if (m_writing.isEmpty())
        startWrite();
    return m_error == Error::None;
}

QByteArray Win32SerialDevice::readAll()
{
    // What the driver holds right now as well; after a failure, what was taken before it.
    if (m_error == Error::None && m_handle != INVALID_HANDLE_VALUE)
        takeReceived();
    return std::exchange(m_received, {});
}

// The driver signals the wait's event when bytes arrive.
void Win32SerialDevice::watchReceived()
{
    m_events = 0;
    m_watching = true;
    ResetEvent(m_waitDone.hEvent);
    if (!WaitCommEvent(m_handle, &m_events, &m_waitDone)) {
        const DWORD code = GetLastError();
        if (code != ERROR_IO_PENDING) {
            m_watching = false;
            fail(code);
            return;
        }
    } else {
        SetEvent(m_waitDone.hEvent); // done at once: handle it like any other arrival
    }
    m_receivedNotifier.setEnabled(true);
}

void Win32SerialDevice::onReceived()
{
    DWORD ignored;
    m_watching = false;
    if (!GetOverlappedResult(m_handle, &m_waitDone, &ignored, FALSE)) {
        fail(GetLastError());
        return;
    }
    if (takeReceived())
        watchReceived();
}

bool Win32SerialDevice::takeReceived()
{
    for (;;) {
        DWORD errors = 0;
        COMSTAT status {};
        if (!ClearCommError(m_handle, &errors, &status))
            return fail(GetLastError());
        m_lineErrors |= errors;
        if (status.cbInQue == 0)
            return true;
        const qsizetype before = m_received.size();
        m_received.resize(before + qsizetype(status.cbInQue));
        DWORD count = 0;
        // The timeouts make this return at once with what the driver holds.
        const bool done
            = ReadFile(m_handle, m_received.data() + before, status.cbInQue, nullptr, &m_readDone)
            || (GetLastError() == ERROR_IO_PENDING);
        const bool read = done && GetOverlappedResult(m_handle, &m_readDone, &count, TRUE);
        const DWORD code = GetLastError();
        m_received.resize(before + qsizetype(count));
        if (!read)
            return fail(code);
        if (count == 0)
            return true;
    }
}

qint64 Win32SerialDevice::bytesToWrite()
{
    if (m_handle == INVALID_HANDLE_VALUE || m_error == Error::Io)
        return 0;
    if (!m_queued.isEmpty() || !m_writing.isEmpty())
        return m_queued.size() + m_writing.size();
    // Handed over whole: what the driver still holds.
    DWORD errors = 0;
    COMSTAT status {};
    if (!ClearCommError(m_handle, &errors, &status))
        return 0;
    m_lineErrors |= errors;
    return status.cbOutQue;
}

void Win32SerialDevice::startWrite()
{
    m_writing = std::exchange(m_queued, {});
    ResetEvent(m_writeDone.hEvent);
    if (!WriteFile(m_handle, m_writing.constData(), DWORD(m_writing.size()), nullptr,
                   &m_writeDone)) {
        const DWORD code = GetLastError();
        if (code != ERROR_IO_PENDING) {
            m_writing.clear();
            fail(code);
            return;
        }
    }
    // The event is signalled when the driver is done, at once or later.
    m_writtenNotifier.setEnabled(true);
}

void Win32SerialDevice::onWritten()
{
    m_writtenNotifier.setEnabled(false);
    DWORD count = 0;
    const bool written = GetOverlappedResult(m_handle, &m_writeDone, &count, FALSE);
    const DWORD code = GetLastError();
    const QByteArray rest = m_writing.mid(qsizetype(count));
    m_writing.clear();
    if (!written) {
        fail(code);
        return;
    }
    m_queued.prepend(rest);
    if (!m_queued.isEmpty())
        startWrite();
}
