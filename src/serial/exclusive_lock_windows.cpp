// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/exclusive_lock.h"

// Windows opens a serial port for one program only; there is nothing more to claim.
bool ExclusiveLock::acquire(const QString &)
{
    return true;
}

void ExclusiveLock::release() { }
