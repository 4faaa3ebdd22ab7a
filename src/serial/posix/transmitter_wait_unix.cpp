// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/posix/transmitter_wait.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// The signal that ends a tcdrain() that waits for the queue to empty: every driver waits for it
// interruptibly, and without SA_RESTART the call returns with EINTR. The handler does nothing.
int interruption()
{
    static const int signal = [] {
        struct sigaction action = {};
        action.sa_handler = [](int) {
        };
        sigemptyset(&action.sa_mask);
        sigaction(SIGRTMIN, &action, nullptr);
        return SIGRTMIN;
    }();
    return signal;
}

// A line that hangs up while the driver waits ends the wait as if everything had been sent, and
// so does a USB adapter being pulled out: the driver takes its failing requests for an empty
// transmitter before the kernel has seen the adapter go. The line is asked once more: a hung-up
// descriptor refuses everything, and most adapters' drivers ask the adapter for its lines.
int lineGone(int descriptor)
{
    termios attributes;
    if (::tcgetattr(descriptor, &attributes) != 0)
        return errno;
    pollfd look {descriptor, 0, 0};
    if (::poll(&look, 1, 0) > 0 && (look.revents & (POLLHUP | POLLERR)))
        return EIO;
    // A request to an adapter that fails once (a timeout, a stall) is no adapter gone.
    int lines = 0;
    if (::ioctl(descriptor, TIOCMGET, &lines) != 0 && (errno == EIO || errno == ENODEV))
        return errno;
    return 0;
}

} // namespace

// Whether the caller still wants the answer, and whether the thread still runs, to be told with
// the signal that it is not wanted any more: under the mutex, a thread that has not said it has
// finished has not yet ended.
struct TransmitterWait::Wait
{
    std::mutex mutex;
    std::atomic<bool> wanted = true;
    bool finished = false;
    pthread_t thread {};
};

void TransmitterWait::start(int descriptor, QObject *context, std::function<void(int)> done)
{
    if (m_current)
        return;
    auto wait = std::make_shared<Wait>();
    m_current = wait;
    const int own = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    const int failed = own < 0 ? errno : 0;
    const auto answer = [this, wait, done](int error) {
        if (m_current != wait)
            return; // given up
        m_current.reset();
        done(error);
    };
    if (own < 0) {
        QMetaObject::invokeMethod(
            context, [answer, failed] { answer(failed); }, Qt::QueuedConnection);
        return;
    }
    interruption();
    const std::lock_guard<std::mutex> started(wait->mutex);
    std::thread thread([wait, own, context, answer] {
        // Whatever the thread that started it blocks, the stop must reach this one.
        sigset_t stopSignal;
        sigemptyset(&stopSignal);
        sigaddset(&stopSignal, interruption());
        pthread_sigmask(SIG_UNBLOCK, &stopSignal, nullptr);
        int error;
        do {
            error = ::tcdrain(own) == 0 ? 0 : errno;
        } while (error == EINTR && wait->wanted);
        if (error == 0)
            error = lineGone(own);
        // Not the line's last descriptor, unless the line is closing: then its close waits here.
        ::close(own);
        const std::lock_guard<std::mutex> lock(wait->mutex);
        wait->finished = true;
        if (wait->wanted) {
            QMetaObject::invokeMethod(
                context, [answer, error] { answer(error); }, Qt::QueuedConnection);
        }
    });
    wait->thread = thread.native_handle();
    thread.detach();
}

void TransmitterWait::stop()
{
    const std::shared_ptr<Wait> wait = std::move(m_current);
    if (!wait)
        return;
    const std::lock_guard<std::mutex> lock(wait->mutex);
    wait->wanted = false;
    // Ends a wait for the queue at once; a request to a USB adapter that no signal ends is left
    // to end on its own. A signal that comes just before tcdrain() begins ends nothing: the
    // thread then waits as long as the driver holds it, and ends on its own.
    if (!wait->finished)
        pthread_kill(wait->thread, interruption());
}
