// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/open_attempt.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

// Without a controlling terminal, and without waiting for carrier. picocom, minicom, screen and
// another copy of this program take an advisory lock on the device, which holds whatever name
// the device is opened by. Held, the device is also in exclusive mode: the kernel refuses a
// program without the lock before the driver's open raises DTR and RTS, which would cut into a
// speed change's RTS inactive time.
OpenAttempt::Handle OpenAttempt::open(const QString &location, int &error)
{
    const QByteArray path = QFile::encodeName(location);
    int opened;
    do {
        opened = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (opened < 0 && errno == EINTR);
    if (opened < 0) {
        error = errno;
        return none;
    }
    int locked;
    do {
        locked = ::flock(opened, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0 && errno == EWOULDBLOCK) {
        error = EWOULDBLOCK;
        ::close(opened);
        return none;
    }
    ::ioctl(opened, TIOCEXCL);
    error = 0;
    return opened;
}

// The claim is given up at once, for the next opening, even while a wait for the transmitter
// still holds a descriptor of the line; the descriptor may be the line's last, and
// its close waits in the kernel until what the driver still holds has left: up to 30 s where the
// far end stopped the flow, and the queue of a USB adapter, which no flush reaches. It waits on a
// thread of its own, and not at all when the process ends.
void OpenAttempt::close(Handle handle)
{
    const int descriptor = int(handle);
    ::ioctl(descriptor, TIOCNXCL);
    ::flock(descriptor, LOCK_UN);
    std::thread([descriptor] { ::close(descriptor); }).detach();
}
