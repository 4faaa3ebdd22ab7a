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

namespace {

// The line's last descriptor may be this one, and its close waits in the kernel until what the
// driver still holds has left: up to 30 s where the far end stopped the flow, and the queue of a
// USB adapter, which no flush reaches, at the line's speed. It waits on a thread of its own, and
// not at all when the process ends.
void closeAway(int handle)
{
    std::thread([handle] { ::close(handle); }).detach();
}

} // namespace

// What a claim found: the descriptor that holds it, or none, and whether another program holds
// the device. A claim that nobody takes lets its descriptor go when the last of it goes.
struct ExclusiveLock::Claim
{
    ~Claim()
    {
        if (handle >= 0)
            closeAway(handle);
    }

    // picocom, minicom, screen and another copy of this program take an advisory lock on the
    // device; Qt's own lock file only covers Qt programs that name the device the same way. The
    // lock lives on a descriptor of its own, opened without a controlling terminal and without
    // touching the line's settings, so that finding the device held changes nothing for its
    // holder.
    void take()
    {
        const int opened = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (opened < 0)
            return;
        int result;
        do {
            result = ::flock(opened, LOCK_EX | LOCK_NB);
        } while (result != 0 && errno == EINTR);
        if (result != 0 && errno == EWOULDBLOCK) {
            heldElsewhere = true;
            ::close(opened);
            return;
        }
        handle = opened;
    }

    QByteArray path;
    int handle = -1;
    bool heldElsewhere = false;
    bool taken = false; // prepare() has answered, on the caller's thread
    bool current = true; // not given up: read and written on the caller's thread alone
};

void ExclusiveLock::prepare(const QString &location, QObject *context, std::function<void()> ready)
{
    if (m_claim)
        return;
    m_claim = std::make_shared<Claim>();
    m_claim->path = QFile::encodeName(location);
    // The thread only holds the claim; its answer reaches the lock through context, and a claim
    // given up meanwhile, or whose context has gone, just goes.
    std::thread([claim = m_claim, context, ready = std::move(ready)] {
        claim->take();
        QMetaObject::invokeMethod(
            context,
            [claim, ready] {
                if (!claim->current)
                    return;
                claim->taken = true;
                ready();
            },
            Qt::QueuedConnection);
    }).detach();
}

bool ExclusiveLock::isPrepared() const
{
    return m_claim && m_claim->taken;
}

bool ExclusiveLock::acquire(const QString &location)
{
    const QByteArray path = QFile::encodeName(location);
    std::shared_ptr<Claim> claim;
    if (isPrepared() && m_claim->path == path)
        claim = std::exchange(m_claim, {});
    release();
    if (!claim) {
        claim = std::make_shared<Claim>();
        claim->path = path;
        claim->take();
    }
    if (claim->heldElsewhere)
        return false;
    m_handle = std::exchange(claim->handle, -1);
    return true;
}

void ExclusiveLock::release()
{
    if (m_claim) {
        m_claim->current = false;
        m_claim.reset();
    }
    if (m_handle < 0)
        return;
    const int handle = int(std::exchange(m_handle, -1));
    ::flock(handle, LOCK_UN);
    closeAway(handle);
}
