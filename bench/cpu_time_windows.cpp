// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "cpu_time.h"

#include <QtGlobal>
#include <windows.h>

// std::clock() counts wall time on Windows; the kernel keeps the processor time.
double processCpuMs()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ms = [](const FILETIME &time) {
        return double((quint64(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}
