// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal standing in for a serial line: the program opens the device path, the test
// reads and writes the far end.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    QString devicePath() const { return m_path; }
    int farEnd() const { return m_master; }
    int nearEnd() const { return m_slave; }

    // Read or write at the far end until done or timeoutMs passed without progress, serving the
    // event loop meanwhile.
    QByteArray readFar(qsizetype count, int timeoutMs = 2000);
    bool writeFar(const QByteArray &bytes, int timeoutMs = 2000);
    void closeFar();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
};
