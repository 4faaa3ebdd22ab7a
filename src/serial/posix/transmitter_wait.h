// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QObject>

#include <functional>
#include <memory>

// Waits in tcdrain() for a line's driver to have sent everything it holds, its transmitter
// included where the driver can tell: only the driver knows when an adapter's own buffer has run
// empty, and it may take seconds, or never end on a line that takes nothing, or sit in a USB
// request that no signal ends. The wait runs on a thread of its own with a descriptor of its own,
// and nobody ever waits for that thread: stopped, it is told with a signal, which ends a wait for
// the queue, and otherwise ends on its own; it tells nobody. Whether a wait runs is known on the
// caller's thread alone, so that a wait started from inside done is a new one.
class TransmitterWait
{
public:
    TransmitterWait() = default;
    ~TransmitterWait() { stop(); }
    TransmitterWait(const TransmitterWait &) = delete;
    TransmitterWait &operator=(const TransmitterWait &) = delete;

    // Starts waiting on the line of the descriptor, unless a wait runs already; done runs on
    // context's thread once the driver has answered, unless stop() came first, with 0 when
    // everything has been sent, else the error that ended the wait (EIO for a line that hung up
    // meanwhile). Context goes no sooner than this.
    void start(int descriptor, QObject *context, std::function<void(int error)> done);
    bool isRunning() const { return m_current != nullptr; }
    // Gives the wait up at once; its thread ends when the driver lets it.
    void stop();

private:
    struct Wait;

    std::shared_ptr<Wait> m_current;
};
