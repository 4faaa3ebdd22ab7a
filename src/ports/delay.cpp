// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "ports/delay.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>

bool Delay(qint16 ms, const MillisecondClock &clock)
{
    const quint32 start = clock();
    // The clock may tick coarsely (every 15.6 ms on Windows unless told otherwise), so that its
    // readings alone could end a wait early. The wait also lasts ms by the precise monotonic
    // clock: no step of the speed change comes closer than that to the one before it.
    const QDeadlineTimer floor(std::max<qint64>(ms, 0), Qt::PreciseTimer);
    for (;;) {
        // Unsigned subtraction stays right across the wrap of the counter.
        const quint32 passed = clock() - start;
        if (ms <= 0 || (passed >= quint32(ms) && floor.hasExpired()))
            return true;

        // The timer starts after the start reading, so when it fires at least the remaining
        // time has passed; the loop above confirms it by both clocks.
        const qint64 byClock = passed < quint32(ms) ? ms - qint64(passed) : 0;
        const qint64 byFloor = (floor.remainingTimeNSecs() + 999999) / 1000000;
        QEventLoop loop;
        QTimer::singleShot(std::chrono::milliseconds(std::max({byClock, byFloor, qint64(1)})),
                           Qt::PreciseTimer, &loop, &QEventLoop::quit);
        // exec() refuses to run, returning -1, once the application has been told to quit.
        if (loop.exec() < 0)
            return false;
    }
}
