// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/qt/exclusive_lock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <thread>
#include <utility>

// picocom, minicom, screen and another copy of this program take an advisory lock on the device;
// Qt's own lock file only covers Qt programs that name the device the same way. The lock lives on
// a descriptor of its own, opened without a controlling terminal and without touching the line's
// settings, so that finding the device held changes nothing for its holder.
bool ExclusiveLock::acquire(const QString &location)
{
    release();
    const int handle = ::open(QFile::encodeName(location).constData(),
                              O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0)
        return true;
    int result;
    do {
        result = ::flock(handle, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0 && errno == EWOULDBLOCK) {
        ::close(handle);
        return false;
    }
    m_handle = handle;
    return true;
}

void ExclusiveLock::release()
{
    if (m_handle < 0)
        return;
    const int handle = int(std::exchange(m_handle, -1));
    ::flock(handle, LOCK_UN);
    // This is the line's last descriptor, and its close waits in the kernel until what the driver
    // still holds has left: up to 30 s where the far end stopped the flow, and the queue of a USB
    // adapter, which no flush reaches, at the line's speed. It waits on a thread of its own, and
    // not at all when the process ends.
    std::thread([handle] { ::close(handle); }).detach();
}
