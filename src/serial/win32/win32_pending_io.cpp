// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/win32/win32_pending_io.h"

#include <QVarLengthArray>

#include <utility>

namespace {

DWORD WINAPI freeWhenSettled(void *pending)
{
    auto *io = static_cast<Win32PendingIo *>(pending);
    io->settle(INFINITE);
    delete io;
    return 0;
}

} // namespace

Win32PendingIo::Win32PendingIo()
{
    for (OVERLAPPED *request : {&read, &write}) {
        request->hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!request->hEvent && m_setUpError == ERROR_SUCCESS)
            m_setUpError = GetLastError();
    }
}

Win32PendingIo::~Win32PendingIo()
{
    for (HANDLE handle : {read.hEvent, write.hEvent, m_flushThread, m_flushPort}) {
        if (handle)
            CloseHandle(handle);
    }
}

bool Win32PendingIo::startFlush(HANDLE port)
{
    if (flushing())
        return true;
    // A handle of its own: the port's may be closed while the driver still has the flush. One
    // for the whole opening, as a speed change flushes after its code byte each time.
    const HANDLE process = GetCurrentProcess();
    if (!m_flushPort
        && !DuplicateHandle(process, port, process, &m_flushPort, 0, FALSE,
                            DUPLICATE_SAME_ACCESS)) {
        m_flushPort = nullptr;
        return false;
    }
    m_flushThread = CreateThread(nullptr, 0, &Win32PendingIo::flush, this, 0, nullptr);
    return m_flushThread != nullptr;
}

DWORD WINAPI Win32PendingIo::flush(void *io)
{
    auto *self = static_cast<Win32PendingIo *>(io);
    // Returns once the driver has transmitted everything written before it, or the request was
    // cancelled or purged.
    self->m_flushResult = FlushFileBuffers(self->m_flushPort) ? ERROR_SUCCESS : GetLastError();
    return 0;
}

DWORD Win32PendingIo::endFlush()
{
    CloseHandle(std::exchange(m_flushThread, nullptr));
    return m_flushResult;
}

void Win32PendingIo::closeFlushPort()
{
    const bool flushRuns = m_flushThread && WaitForSingleObject(m_flushThread, 0) != WAIT_OBJECT_0;
    if (m_flushPort && !flushRuns)
        CloseHandle(std::exchange(m_flushPort, nullptr));
}

bool Win32PendingIo::settle(DWORD milliseconds, bool withFlush) const
{
    QVarLengthArray<HANDLE, 3> pending;
    if (reading)
        pending.append(read.hEvent);
    if (!writing.isEmpty())
        pending.append(write.hEvent);
    if (m_flushThread && withFlush)
        pending.append(m_flushThread);
    return pending.isEmpty()
        || WaitForMultipleObjects(DWORD(pending.size()), pending.constData(), TRUE, milliseconds)
        == WAIT_OBJECT_0;
}

void Win32PendingIo::release(std::unique_ptr<Win32PendingIo> io)
{
    if (!io || io->settle(0))
        return;
    // The driver still holds requests whose memory is here: it goes once they end, and, should
    // no thread be had to wait for them, stays for the life of the process.
    Win32PendingIo *const held = io.release();
    const HANDLE waiter = CreateThread(nullptr, 0, &freeWhenSettled, held, 0, nullptr);
    if (waiter)
        CloseHandle(waiter);
}
