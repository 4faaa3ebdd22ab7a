// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/qt/exclusive_lock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <mutex>
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
// the device; and who waits for it. A claim that nobody takes lets its descriptor go.
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
        int opened;
        do {
            opened = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        } while (opened < 0 && errno == EINTR);
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
    // Under the mutex: whether the thread has answered, and whom it tells; nobody, once the claim
    // is given up. A claim given up that answers lets its descriptor go at once, so that the
    // device is not held for nobody.
    std::mutex mutex;
    bool answered = false;
    QObject *context = nullptr;
    std::function<void()> ready;
};

void ExclusiveLock::prepare(const QString &location, QObject *context, std::function<void()> ready)
{
    const QByteArray path = QFile::encodeName(location);
    if (m_claim && m_claim->path == path) {
        // A claim given up but still waiting in the kernel is taken up again: a second one for
        // the same device would find the first one's lock, and take the device for held.
        const std::lock_guard<std::mutex> lock(m_claim->mutex);
        if (!m_claim->answered) {
            m_claim->context = context;
            m_claim->ready = std::move(ready);
            return;
        }
    }
    release();
    m_claim = std::make_shared<Claim>();
    m_claim->path = path;
    m_claim->context = context;
    m_claim->ready = std::move(ready);
    std::thread([claim = m_claim] {
        claim->take();
        const std::lock_guard<std::mutex> lock(claim->mutex);
        claim->answered = true;
        if (!claim->context) {
            if (claim->handle >= 0)
                closeAway(std::exchange(claim->handle, -1));
            return;
        }
        QMetaObject::invokeMethod(
            claim->context,
            [claim] {
                std::function<void()> ready;
                {
                    const std::lock_guard<std::mutex> lock(claim->mutex);
                    ready = claim->ready;
                }
                if (ready)
                    ready();
            },
            Qt::QueuedConnection);
    }).detach();
}

bool ExclusiveLock::isPrepared() const
{
    if (!m_claim)
        return false;
    const std::lock_guard<std::mutex> lock(m_claim->mutex);
    return m_claim->answered && m_claim->context;
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
        const std::lock_guard<std::mutex> lock(m_claim->mutex);
        m_claim->context = nullptr;
        m_claim->ready = nullptr;
        if (m_claim->answered && m_claim->handle >= 0)
            closeAway(std::exchange(m_claim->handle, -1));
    }
    // One that has not answered stays, given up, for a prepare() of the same device to take up.
    if (m_claim && m_claim->answered)
        m_claim.reset();
    if (m_handle < 0)
        return;
    const int handle = int(std::exchange(m_handle, -1));
    ::flock(handle, LOCK_UN);
    closeAway(handle);
}
