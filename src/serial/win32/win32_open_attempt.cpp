// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/win32/win32_open_attempt.h"

#include <thread>
#include <utility>

Win32OpenAttempt::~Win32OpenAttempt()
{
    if (m_handle != INVALID_HANDLE_VALUE)
        CloseHandle(m_handle);
}

std::shared_ptr<Win32OpenAttempt> Win32OpenAttempt::start(const QString &path, QObject *context,
                                                          std::function<void()> ready)
{
    auto attempt = std::make_shared<Win32OpenAttempt>();
    attempt->m_path = path;
    attempt->m_context = context;
    attempt->m_ready = std::move(ready);
    // Detached: a driver that never answers holds no one up, not even the program's end.
    std::thread([attempt] {
        const HANDLE handle = CreateFileW(
            reinterpret_cast<const wchar_t *>(attempt->m_path.utf16()),
            GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        const DWORD error = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        const std::lock_guard<std::mutex> lock(attempt->m_mutex);
        attempt->m_answered = true;
        attempt->m_error = error;
        if (!attempt->m_context) {
            if (handle != INVALID_HANDLE_VALUE)
                CloseHandle(handle);
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

bool Win32OpenAttempt::answered()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_answered && m_context;
}

bool Win32OpenAttempt::wantAgain(QObject *context, std::function<void()> ready)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_answered)
        return false;
    m_context = context;
    m_ready = std::move(ready);
    return true;
}

HANDLE Win32OpenAttempt::take(DWORD &error)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    error = m_error;
    return std::exchange(m_handle, INVALID_HANDLE_VALUE);
}

void Win32OpenAttempt::giveUp()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_context = nullptr;
    m_ready = nullptr;
    if (m_handle != INVALID_HANDLE_VALUE)
        CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE));
}
