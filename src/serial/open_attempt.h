// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>

// The opening of a device, on a thread of its own, so that the window never waits with it: an
// opening waits in the system for as long as the device's last closing still sends what its
// driver held (up to 30 s), for a driver's own open that asks a USB adapter for its state, and
// for a Bluetooth port that connects to its far device. A handle that comes after the attempt has
// been given up is closed at once, so that the device is not held for nobody.
class OpenAttempt
{
public:
    // A descriptor, or a Windows HANDLE; none is -1 for both.
    using Handle = qintptr;
    static constexpr Handle none = -1;

    OpenAttempt() = default;
    ~OpenAttempt();
    OpenAttempt(const OpenAttempt &) = delete;
    OpenAttempt &operator=(const OpenAttempt &) = delete;

    // Opens the device; ready runs on context's thread once the system has answered, unless the
    // attempt has been given up. Whoever gives context gives the attempt up before it goes.
    static std::shared_ptr<OpenAttempt> start(const QString &location, QObject *context,
                                              std::function<void()> ready);
    // A device's preparation: true once its attempt has answered; else one under way and given
    // up is wanted again, or a new one started, and ready follows.
    static bool prepare(std::shared_ptr<OpenAttempt> &attempt, const QString &location,
                        QObject *context, const std::function<void()> &ready);
    // What the attempt opened, which is then done with, or else the device opened here at once.
    static Handle takeOrOpen(std::shared_ptr<OpenAttempt> &attempt, const QString &location,
                             int &error);

    QString location() const { return m_location; }
    bool answered();
    // An attempt given up but still waiting is wanted again: a second one would find the device
    // taken by the first.
    bool wantAgain(QObject *context, std::function<void()> ready);
    // The handle opened, or none with the system's error (errno, GetLastError()); then it is the
    // caller's.
    Handle take(int &error);
    void giveUp();

    // The system's own opening, for this program alone (Linux: the advisory lock other serial
    // programs take as well, EWOULDBLOCK when one holds it), and closing: either may wait.
    static Handle open(const QString &location, int &error);
    static void close(Handle handle);

private:
    QString m_location;
    std::mutex m_mutex;
    QObject *m_context = nullptr;
    std::function<void()> m_ready;
    bool m_answered = false;
    Handle m_handle = none;
    int m_error = 0;
};
