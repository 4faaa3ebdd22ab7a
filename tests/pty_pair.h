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

    // Reads from the far end until count bytes came or timeoutMs passed without any.
    QByteArray readFar(qsizetype count, int timeoutMs = 2000);
    void writeFar(const QByteArray &bytes);
    void closeFar();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
};
