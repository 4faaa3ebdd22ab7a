// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include "serial/qt/exclusive_lock.h"
#include "serial/qt/transmitter_wait.h"
#include "serial/serial_device.h"

#include <QSerialPort>

// A real serial line through Qt Serial Port. Received bytes collect in QSerialPort's own read
// buffer, which has no size limit, whenever the event loop runs. Opening, the line's settings
// and failures are in qt_serial_device.cpp; the bytes' ways in and out, the wait for sent bytes
// and closing in qt_serial_io.cpp.
class QtSerialDevice : public SerialDevice
{
public:
    explicit QtSerialDevice(const QString &location);
    ~QtSerialDevice() override;

    QString location() const override;
    bool prepareOpen() override;
    void cancelOpen() override;
    bool open(const LineSettings &settings) override;
    void close() override;
    bool apply(const LineSettings &settings) override;
    bool setRequestToSend(bool active) override;
    bool write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    qint64 bytesToWrite() override;
    bool drain() override;
    void discardOutput() override;
    Error error() const override;
    QString errorString() const override;

private:
    bool begin();
    void closePort();
    void waitForTransmitter();
    int driverQueue() const;
    void clearError();
    bool fail();
    void onErrorOccurred(QSerialPort::SerialPortError error);

    const QString m_location;
    ExclusiveLock m_lock;
    QSerialPort m_port;
    TransmitterWait m_transmitterWait; // ends before m_port goes
    bool m_drainQueued = false; // drain once QSerialPort has handed its own buffer on
    quint64 m_writes = 0; // write() calls since the port was opened
    quint64 m_sentWrites = 0; // of them, those the driver has said it sent
    QByteArray m_received;
    Error m_error = Error::None;
    QString m_errorString;
};
