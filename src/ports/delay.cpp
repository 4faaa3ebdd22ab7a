// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "ports/delay.h"

#include <QEventLoop>
#include <QTimer>

#include <chrono>

bool Delay(qint16 ms, const MillisecondClock &clock)
{
    const quint32 start = clock();
    for (;;) {
        // Unsigned subtraction stays right across the wrap of the counter.
        const quint32 passed = clock() - start;
        if (ms <= 0 || passed >= quint32(ms))
            return true;

        // The timer starts after the start reading, so when it fires at least the remaining
        // time has passed; the loop above confirms it by the clock.
        QEventLoop loop;
        QTimer::singleShot(std::chrono::milliseconds(ms - passed), Qt::PreciseTimer, &loop,
                           &QEventLoop::quit);
        // exec() refuses to run, returning -1, once the application has been told to quit.
        if (loop.exec() < 0)
            return false;
    }
}
