// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QObject>
#include <QString>
#include <qt_windows.h>

#include <functional>
#include <memory>
#include <mutex>

// The opening of a port's device, on a thread of its own: CreateFile may take seconds (a
// Bluetooth port connects to its far device in it, and waits out one that is off), and the
// window must not wait with it.
class Win32OpenAttempt
{
public:
    Win32OpenAttempt() = default;
    ~Win32OpenAttempt();
    Win32OpenAttempt(const Win32OpenAttempt &) = delete;
    Win32OpenAttempt &operator=(const Win32OpenAttempt &) = delete;

    // Opens path; ready runs on context's thread once CreateFile has answered, unless the
    // attempt has been given up. Whoever gives context gives the attempt up before it goes.
    static std::shared_ptr<Win32OpenAttempt> start(const QString &path, QObject *context,
                                                   std::function<void()> ready);

    QString path() const { return m_path; }
    bool answered();
    // An attempt given up but still waiting is wanted again: a second one would find the port
    // taken by the first.
    bool wantAgain(QObject *context, std::function<void()> ready);
    // The handle opened, or INVALID_HANDLE_VALUE with CreateFile's error; then it is the
    // caller's.
    HANDLE take(DWORD &error);
    // Nobody waits for the answer: a handle that comes is closed at once.
    void giveUp();

private:
    QString m_path;
    std::mutex m_mutex;
    QObject *m_context = nullptr;
    std::function<void()> m_ready;
    bool m_answered = false;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    DWORD m_error = ERROR_SUCCESS;
};
