// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/qt/transmitter_wait.h"

#include <QMetaObject>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <termios.h>

namespace {

// The signal that ends a tcdrain(): every driver waits for its transmitter interruptibly, and
// without SA_RESTART the call returns with EINTR. The handler itself does nothing.
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
    int lines = 0;
    if (::ioctl(descriptor, TIOCMGET, &lines) != 0 && errno != ENOTTY && errno != EINVAL)
        return errno;
    return 0;
}

} // namespace

void TransmitterWait::start(int descriptor, QObject *context, std::function<void(int)> done)
{
    if (m_running)
        return;
    if (m_thread.joinable())
        m_thread.join(); // an earlier wait, answered already, is ending
    interruption();
    m_stopping = false;
    m_finished = false;
    m_running = true;
    m_current = std::make_shared<bool>(true);
    // Context outlives the thread, which stop() joins before it goes; a done still queued for it
    // then goes with it, and one queued before a stop() finds its wait no longer current.
    m_thread
        = std::thread([this, descriptor, context, current = m_current, done = std::move(done)] {
              // Whatever the thread that started it blocks, the stop must reach this one.
              sigset_t stopSignal;
              sigemptyset(&stopSignal);
              sigaddset(&stopSignal, interruption());
              pthread_sigmask(SIG_UNBLOCK, &stopSignal, nullptr);
              int error;
              do {
                  error = ::tcdrain(descriptor) == 0 ? 0 : errno;
              } while (error == EINTR && !m_stopping);
              if (error == 0)
                  error = lineGone(descriptor);
              if (!m_stopping) {
                  QMetaObject::invokeMethod(
                      context,
                      [this, current, done, error] {
                          if (!*current)
                              return;
                          m_running = false;
                          done(error);
                      },
                      Qt::QueuedConnection);
              }
              m_finished = true;
          });
}

void TransmitterWait::stop()
{
    m_running = false;
    if (!m_thread.joinable())
        return;
    *m_current = false;
    m_stopping = true;
    // A signal that comes just before the thread enters tcdrain() ends nothing: it is sent again
    // until the thread has seen the stop.
    while (!m_finished) {
        pthread_kill(m_thread.native_handle(), interruption());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    m_thread.join();
}
