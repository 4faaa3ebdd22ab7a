// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QtGlobal>

#include <functional>

// The system millisecond clock: counts up from an arbitrary start and wraps at 2^32. On Windows
// this is winmm's own (the same C symbol; its DWORD is 32 bits there), so this header and
// <mmsystem.h> never meet in one file.
extern "C" quint32 timeGetTime();

using MillisecondClock = std::function<quint32()>;

// Waits at least ms milliseconds by the clock, and never less than ms by the precise monotonic
// clock, while the window keeps serving its events. The event loop sleeps until the next event
// or the deadline; nothing polls. Returns false, early, when the application is shutting down,
// so that the caller can abandon what it was doing.
[[nodiscard]] bool Delay(qint16 ms, const MillisecondClock &clock = timeGetTime);
