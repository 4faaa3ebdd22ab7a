// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// The system millisecond clock: counts up from an arbitrary start and wraps at 2^32. On Windows
// this is winmm's own (the same C symbol; its DWORD is 32 bits there), so this header and
// <mmsystem.h> never meet in one file.
extern "C" quint32 timeGetTime();

using MillisecondClock = std::function<quint32()>;

// Delay: a wait of at least ms milliseconds by the clock, and never less than ms by the precise
// monotonic clock, while the window keeps serving its events. The event loop sleeps until the
// deadline; nothing polls and nothing nests: the wait ends in finished(), and whoever waits goes
// on from there.
class Delay : public QObject
{
    Q_OBJECT

public:
    explicit Delay(QObject *parent = nullptr, MillisecondClock clock = timeGetTime);

    // Starts a new wait, ending one that runs.
    void start(qint16 ms);
    // Ends the wait without finished().
    void stop() { m_timer.stop(); }
    bool isActive() const { return m_timer.isActive(); }

signals:
    void finished();

private:
    void check();

    const MillisecondClock m_clock;
    QTimer m_timer;
    quint32 m_start = 0;
    qint16 m_ms = 0;
    QDeadlineTimer m_floor;
};
