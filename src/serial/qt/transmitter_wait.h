// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

// Waits in tcdrain() for a line's driver to have sent everything it holds, its transmitter
// included: only the driver knows when an adapter's own buffer has run empty, and it may take
// seconds, or never end on a line that takes nothing. The wait runs on a thread of its own and can
// be ended at any moment, so that it never outlives the opening it waits on. Whether a wait runs
// is known on the caller's thread alone, so that a wait started from inside done is a new one.
class TransmitterWait
{
public:
    TransmitterWait() = default;
    ~TransmitterWait() { stop(); }
    TransmitterWait(const TransmitterWait &) = delete;
    TransmitterWait &operator=(const TransmitterWait &) = delete;

    // Starts waiting on the descriptor, unless a wait runs already; done runs on context's thread
    // once the driver has answered, unless stop() came first, with 0 when everything has been
    // sent, else the error that ended the wait (EIO for a line that hung up meanwhile).
    void start(int descriptor, QObject *context, std::function<void(int error)> done);
    bool isRunning() const { return m_running; }
    // Ends the wait at once, whatever the driver is doing, and joins its thread.
    void stop();

private:
    std::thread m_thread;
    bool m_running = false;
    std::atomic<bool> m_stopping = false;
    std::atomic<bool> m_finished = false;
    // Tells a done that comes after stop(), still on its way to context, from a current one.
    std::shared_ptr<bool> m_current;
};
