// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/open_attempt.h"

#include <thread>
#include <utility>

OpenAttempt::~OpenAttempt()
{
    if (m_handle != none)
        close(m_handle);
}

std::shared_ptr<OpenAttempt> OpenAttempt::start(const QString &location, QObject *context,
                                                std::function<void()> ready)
{
    auto attempt = std::make_shared<OpenAttempt>();
    attempt->m_location = location;
    attempt->m_context = context;
    attempt->m_ready = std::move(ready);
    // Detached: a driver that never answers holds no one up, not even the program's end.
    std::thread([attempt] {
        int error = 0;
        const Handle handle = open(attempt->m_location, error);
        const std::lock_guard<std::mutex> lock(attempt->m_mutex);
        attempt->m_answered = true;
        attempt->m_error = error;
        if (!attempt->m_context) {
            if (handle != none)
                close(handle);
            return;
        }
        attempt->m_handle = handle;
        QMetaObject::invokeMethod(
            attempt->m_context,
            [attempt] {
                std::function<void()> ready;
                {
                    const std::lock_guard<std::mutex> lock(attempt->m_mutex);
                    ready = attempt->m_ready;
                }
                if (ready)
                    ready();
            },
            Qt::QueuedConnection);
    }).detach();
    return attempt;
}

bool OpenAttempt::prepare(std::shared_ptr<OpenAttempt> &attempt, const QString &location,
                          QObject *context, const std::function<void()> &ready)
{
    if (attempt && (attempt->answered() || attempt->wantAgain(context, ready)))
        return attempt->answered();
    attempt = start(location, context, ready);
    return false;
}

OpenAttempt::Handle OpenAttempt::takeOrOpen(std::shared_ptr<OpenAttempt> &attempt,
                                            const QString &location, int &error)
{
    if (attempt && attempt->answered())
        return std::exchange(attempt, {})->take(error);
    return open(location, error);
}

bool OpenAttempt::answered()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_answered && m_context;
}

bool OpenAttempt::wantAgain(QObject *context, std::function<void()> ready)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_answered)
        return false;
    m_context = context;
    m_ready = std::move(ready);
    return true;
}

OpenAttempt::Handle OpenAttempt::take(int &error)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    error = m_error;
    return std::exchange(m_handle, none);
}

void OpenAttempt::giveUp()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_context = nullptr;
    m_ready = nullptr;
    if (m_handle != none)
        close(std::exchange(m_handle, none));
}
