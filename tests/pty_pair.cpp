#include "pty_pair.h"

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

QByteArray PtyPair::readFar(qsizetype count, int timeoutMs)
{
    QByteArray bytes;
    char chunk[65536];
    while (bytes.size() < count) {
        pollfd fd {m_master, POLLIN, 0};
        if (poll(&fd, 1, timeoutMs) <= 0)
            break;
        const ssize_t got = ::read(m_master, chunk, sizeof chunk);
        if (got <= 0)
            break;
        bytes.append(chunk, got);
    }
    return bytes;
}

void PtyPair::writeFar(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        pollfd fd {m_master, POLLOUT, 0};
        if (poll(&fd, 1, 2000) <= 0)
            return;
        const ssize_t put = ::write(m_master, bytes.constData() + done, bytes.size() - done);
        if (put < 0)
            return;
        done += put;
    }
}

void PtyPair::closeFar()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
