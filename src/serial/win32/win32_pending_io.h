// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QByteArray>
#include <qt_windows.h>

#include <atomic>
#include <memory>

// Everything the driver may still write into or read from while the requests of one opening of
// a port run: each request's OVERLAPPED and event, its buffer, and the thread that waits in
// FlushFileBuffers on a handle of its own. It goes only once the driver has let go of all of
// them: at once when they have ended, or, when the driver ignores their cancellation, later,
// from a thread that waits for them.
struct Win32PendingIo
{
    Win32PendingIo();
    ~Win32PendingIo();
    Win32PendingIo(const Win32PendingIo &) = delete;
    Win32PendingIo &operator=(const Win32PendingIo &) = delete;

    // Why the events could not be made; ERROR_SUCCESS when they were.
    DWORD setUpError() const { return m_setUpError; }

    // Starts FlushFileBuffers on the port, on a thread of its own, which the flush thread's handle
    // signals when it ends.
    bool startFlush(HANDLE port);
    bool flushing() const { return m_flushThread != nullptr; }
    HANDLE flushThread() const { return m_flushThread; }
    // Once the flush thread has ended: what the driver answered, ERROR_SUCCESS when it had sent
    // everything.
    DWORD endFlush();
    // Lets the flushes' own handle of the port go, unless a flush still uses it: the port's last
    // handle to close is what tells the driver to let the device go.
    void closeFlushPort();

    // Waits at most so long for the driver to end every request still with it, and, withFlush,
    // for the flush thread; true once they have.
    bool settle(DWORD milliseconds, bool withFlush = true) const;
    // Frees io once the driver has let go of its requests, however long that takes.
    static void release(std::unique_ptr<Win32PendingIo> io);

    OVERLAPPED read {};
    OVERLAPPED write {};
    bool reading = false; // a read is with the driver, or ended and not yet taken
    QByteArray readBuffer;
    QByteArray writing; // with the driver: what it had not taken when it last answered

private:
    static DWORD WINAPI flush(void *io);

    DWORD m_setUpError = ERROR_SUCCESS;
    HANDLE m_flushThread = nullptr;
    HANDLE m_flushPort = nullptr; // the flush threads' own handle of the port
    std::atomic<DWORD> m_flushResult = ERROR_SUCCESS;
};
