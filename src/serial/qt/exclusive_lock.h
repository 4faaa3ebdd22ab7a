// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QString>

// Claims a serial device for this program alone, the way other serial programs on the system do,
// so that two programs never talk on one line at once. The claim is taken before anything
// touches the line: a device that another program holds is left exactly as that program has it.
class ExclusiveLock
{
public:
    ExclusiveLock() = default;
    ~ExclusiveLock() { release(); }
    ExclusiveLock(const ExclusiveLock &) = delete;
    ExclusiveLock &operator=(const ExclusiveLock &) = delete;

    // False when another program holds the device. A device that cannot even be looked at is
    // left to the open that follows, which tells why.
    bool acquire(const QString &location);
    void release();

private:
    qintptr m_handle = -1;
};
