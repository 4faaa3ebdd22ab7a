// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include "serial/line_settings.h"
#include "serial/posix/transmitter_wait.h"
#include "serial/serial_device.h"

#include <QSocketNotifier>

#include <memory>

class OpenAttempt;
struct termios;

// A real serial line through one terminal descriptor, set with termios. Nothing here waits for
// the line: the descriptor does not block, the event loop tells when it has bytes or takes more,
// and received bytes are taken as they come and kept until read, however many they are. The
// line keeps the settings it was last given after CLOSE. Opening, the line's settings and
// failures are in posix_serial_device.cpp; the bytes' ways in and out and the wait for sent bytes
// in posix_serial_io.cpp.
class PosixSerialDevice : public SerialDevice
{
public:
    explicit PosixSerialDevice(const QString &location);
    ~PosixSerialDevice() override;

    QString location() const override { return m_location; }
    bool prepareOpen() override;
    void cancelOpen() override;
    bool open(const LineSettings &settings) override;
    void close() override;
    bool apply(const LineSettings &settings) override;
    bool setRequestToSend(bool active) override;
    bool write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    qint64 bytesToWrite() override;
    qint64 sentBy() const override { return m_sentBy; }
    bool drain() override;
    void discardOutput() override;
    Error error() const override { return m_error; }
    QString errorString() const override { return m_errorString; }

private:
    bool isOpen() const { return m_descriptor >= 0; }
    bool begin();
    bool fail(int systemError, Error error = Error::Io, const QString &words = {});
    bool failOpening(int systemError);
    bool setLine(const termios &wanted);
    void receive();
    void send();
    void waitForTransmitter();

    const QString m_location;
    int m_descriptor = -1;
    std::shared_ptr<OpenAttempt> m_opening; // under way, or answered and not yet taken
    QSocketNotifier m_readable;
    QSocketNotifier m_writable;
    TransmitterWait m_transmitterWait;
    QByteArray m_received;
    QByteArray m_queued; // taken by write(), not yet by the driver
    LineSettings m_line;
    qint64 m_sentBy = 0; // when what the driver took can have left, at the earliest
    bool m_sent = true; // the driver has said so since the last write
    bool m_writtenSinceAsked = false; // the running wait does not cover everything
    bool m_drainWanted = false; // drain() said no: the sent handler is called once it is so
    Error m_error = Error::None;
    QString m_errorString;
};
