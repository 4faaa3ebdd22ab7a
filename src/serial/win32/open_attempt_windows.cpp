// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/open_attempt.h"

#include <qt_windows.h>

// Overlapped, so that a read can wait with the driver while a write runs; not shared, as Windows
// has its ports. The \\.\ form names COM10 and above too.
OpenAttempt::Handle OpenAttempt::open(const QString &location, int &error)
{
    const QString device = QStringLiteral("\\\\.\\");
    const QString path = location.startsWith(device) ? location : device + location;
    const HANDLE handle
        = CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
                      0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    error = handle == INVALID_HANDLE_VALUE ? int(GetLastError()) : 0;
    return Handle(handle);
}

void OpenAttempt::close(Handle handle)
{
    CloseHandle(HANDLE(handle));
}
