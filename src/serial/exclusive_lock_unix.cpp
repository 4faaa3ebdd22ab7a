// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/exclusive_lock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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
    if (m_handle >= 0)
        ::close(int(m_handle));
    m_handle = -1;
}
