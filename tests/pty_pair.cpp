// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "pty_pair.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    char name[128] = {};
    termios raw {};
    cfmakeraw(&raw);
    if (openpty(&m_master, &m_slave, name, &raw, nullptr) == 0)
        m_path = QString::fromLocal8Bit(name);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    closeFar();
    if (m_slave >= 0)
        ::close(m_slave);
}

// Both directions keep the event loop turning: the program under test moves its bytes there.
QByteArray PtyPair::readFar(qsizetype count, int timeoutMs)
{
    QByteArray bytes;
    char chunk[65536];
    QElapsedTimer idle;
    idle.start();
    while (bytes.size() < count && idle.elapsed() < timeoutMs) {
        QCoreApplication::processEvents();
        pollfd fd {m_master, POLLIN, 0};
        if (poll(&fd, 1, 10) <= 0)
            continue;
        const ssize_t got = ::read(m_master, chunk, sizeof chunk);
        if (got <= 0)
            break;
        bytes.append(chunk, got);
        idle.restart();
    }
    return bytes;
}

bool PtyPair::writeFar(const QByteArray &bytes, int timeoutMs)
{
    qsizetype done = 0;
    QElapsedTimer idle;
    idle.start();
    while (done < bytes.size() && idle.elapsed() < timeoutMs) {
        QCoreApplication::processEvents();
        pollfd fd {m_master, POLLOUT, 0};
        if (poll(&fd, 1, 10) <= 0)
            continue;
        const ssize_t put = ::write(m_master, bytes.constData() + done, bytes.size() - done);
        if (put < 0 && errno != EAGAIN)
            return false;
        if (put > 0) {
            done += put;
            idle.restart();
        }
    }
    return done == bytes.size();
}

void PtyPair::closeFar()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
