// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "ports/delay.h"

#include <chrono>

// Windows has this clock in winmm; elsewhere it counts the same way over the monotonic clock.
quint32 timeGetTime()
{
    using namespace std::chrono;
    const auto now = duration_cast<milliseconds>(steady_clock::now().time_since_epoch());
    return quint32(now.count());
}
