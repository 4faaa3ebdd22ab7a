// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

// Claims a serial device for this program alone, the way other serial programs on the system do,
// so that two programs never talk on one line at once. The claim is taken before anything
// touches the line: a device that another program holds is left exactly as that program has it.
//
// The claim opens the device, and an opening waits in the kernel for as long as the device's
// last closing still sends what its driver held (up to 30 s), and for a driver's own open, which
// asks a USB adapter for its state. prepare() takes the claim on a thread of its own, so that the
// caller's thread never waits for either.
class ExclusiveLock
{
public:
    ExclusiveLock() = default;
    ~ExclusiveLock() { release(); }
    ExclusiveLock(const ExclusiveLock &) = delete;
    ExclusiveLock &operator=(const ExclusiveLock &) = delete;

    // Takes the claim away from the caller's thread; ready runs on context's thread once it has
    // been taken (or refused), unless release() comes first. One under way for the device is
    // taken up again. Whoever gives context must release() before context goes.
    void prepare(const QString &location, QObject *context, std::function<void()> ready);
    // Whether prepare() has an answer for acquire() to take.
    bool isPrepared() const;
    // Whether a descriptor of the device holds the claim: the line's last to close.
    bool isHeld() const { return m_handle >= 0; }
    // False when another program holds the device. A device that cannot even be looked at is
    // left to the open that follows, which tells why. Takes what prepare() found, if it has.
    bool acquire(const QString &location);
    // Gives the claim up, or the claim that prepare() is taking.
    void release();

private:
    struct Claim;

    qintptr m_handle = -1;
    std::shared_ptr<Claim> m_claim; // being taken, or taken and not yet acquired
};
