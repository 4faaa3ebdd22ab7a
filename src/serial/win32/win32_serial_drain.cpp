// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/win32/win32_pending_io.h"
#include "serial/win32/win32_serial_device.h"

#include <QCoreApplication>

#include <utility>

// The driver's queue may be empty while an adapter still transmits from a buffer of its own:
// only FlushFileBuffers tells when everything has gone, and it may take long, or never end on a
// line that takes nothing, so it runs on a thread of its own once the driver has every byte.
bool Win32SerialDevice::drain()
{
    if (m_handle == INVALID_HANDLE_VALUE)
        return true;
    if (m_error == Error::Io)
        return false; // nothing more can leave, and not all of it has: the failure tells
    if (m_io->writing.isEmpty() && m_flushedWrites == m_writes)
        return true;
    m_drainWanted = true;
    if (m_io->writing.isEmpty())
        startFlush(); // else once the driver has taken the last write
    return false;
}

void Win32SerialDevice::discardOutput()
{
    if (m_handle == INVALID_HANDLE_VALUE || m_error == Error::Io)
        return;
    m_queued.clear();
    if (!m_io->writing.isEmpty()) {
        // Wine's purge leaves a write that is with the driver going on: it is cancelled, and what
        // it had not sent is dropped when it answers.
        m_writeDiscarded = true;
        CancelIoEx(m_handle, &m_io->write);
    }
    if (!PurgeComm(m_handle, PURGE_TXABORT | PURGE_TXCLEAR)) {
        fail(GetLastError());
        return;
    }
    // The purge ends serial.sys's flush; other drivers let the thread's request be cancelled.
    if (m_io->flushing())
        CancelSynchronousIo(m_io->flushThread());
}

void Win32SerialDevice::startFlush()
{
    if (m_io->flushing())
        return; // its answer comes first; onFlushed() asks again for what was written since
    m_flushingWrites = m_writes;
    if (!m_io->startFlush(m_handle)) {
        fail(GetLastError());
        return;
    }
    m_flushedNotifier.setHandle(m_io->flushThread());
    m_flushedNotifier.setEnabled(true);
}

void Win32SerialDevice::onFlushed()
{
    m_flushedNotifier.setEnabled(false);
    // Purged or cancelled, the bytes are gone all the same; a driver that cannot flush tells no
    // more than its queue did. Only a line that went away is a failure.
    if (m_io->endFlush() != ERROR_SUCCESS && !checkLine())
        return;
    m_flushedWrites = m_flushingWrites;
    if (m_drainWanted && drain()) {
        m_drainWanted = false;
        reportSent();
    }
}

void Win32SerialDevice::close()
{
    m_receivedNotifier.setEnabled(false);
    m_writtenNotifier.setEnabled(false);
    m_flushedNotifier.setEnabled(false);
    m_lineCheck.stop();
    m_drainWanted = false; // closing ends a drain without a call
    bool letGo = true;
    if (m_handle != INVALID_HANDLE_VALUE) {
        if (m_io->flushing()) {
            // Windows cancels a flush as the thread's own request; Wine's, a tcdrain(), ends only
            // when the output is purged.
            CancelSynchronousIo(m_io->flushThread());
            PurgeComm(m_handle, PURGE_TXABORT | PURGE_TXCLEAR);
        }
        // The driver may write into the requests' buffers and results until it has ended them,
        // so they are waited for; not for ever, as a driver that ignores the cancel would hang
        // the window. Then they stay with a thread that waits for them, and the next opening
        // has requests of its own. A flush is not waited for: its thread ends on its own, with
        // a handle of its own.
        CancelIoEx(m_handle, nullptr);
        letGo = m_io->settle(closeWaitMs, false);
        m_io->closeFlushPort();
        CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE));
    }
    Win32PendingIo::release(std::move(m_io));
    m_writeDiscarded = false;
    m_lineErrors = 0;
    m_received.clear();
    m_queued.clear();
    m_error = letGo ? Error::None : Error::Io;
    m_errorString = letGo
        ? QString()
        : QCoreApplication::translate("Win32SerialDevice",
                                      "its requests were still pending a second after they were "
                                      "cancelled");
}
