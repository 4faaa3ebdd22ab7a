// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "ports/delay.h"

#include <algorithm>

Delay::Delay(QObject *parent, MillisecondClock clock)
    : QObject(parent)
    , m_clock(std::move(clock))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Delay::check);
}

void Delay::start(qint16 ms)
{
    m_start = m_clock();
    m_ms = std::max<qint16>(ms, 0);
    // The clock may tick coarsely (every 15.6 ms on Windows unless told otherwise), so that its
    // readings alone could end a wait early. The wait also lasts ms by the precise monotonic
    // clock: no step of the speed change comes closer than that to the one before it.
    m_floor = QDeadlineTimer(m_ms, Qt::PreciseTimer);
    m_timer.start(m_ms);
}

// The timer starts after the start reading, so when it fires at least the remaining time has
// passed; this confirms it by both clocks and otherwise sleeps again for what is left.
void Delay::check()
{
    // Unsigned subtraction stays right across the wrap of the counter.
    const quint32 passed = m_clock() - m_start;
    if (passed >= quint32(m_ms) && m_floor.hasExpired()) {
        emit finished();
        return;
    }
    const qint64 byClock = passed < quint32(m_ms) ? m_ms - qint64(passed) : 0;
    const qint64 byFloor = (m_floor.remainingTimeNSecs() + 999999) / 1000000;
    m_timer.start(int(std::max({byClock, byFloor, qint64(1)})));
}
