// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include "serial/exclusive_lock.h"
#include "serial/serial_device.h"

#include <QSerialPort>

// A real serial line through Qt Serial Port. Received bytes collect in QSerialPort's own read
// buffer, which has no size limit, whenever the event loop runs.
class QtSerialDevice : public SerialDevice
{
public:
    explicit QtSerialDevice(const QString &location);
    ~QtSerialDevice() override;

    QString location() const override;
    bool open(const LineSettings &settings) override;
    void close() override;
    bool apply(const LineSettings &settings) override;
    bool setRequestToSend(bool active) override;
    bool write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    qint64 bytesToWrite() override;
    Error error() const override;
    QString errorString() const override;

private:
    bool begin();
    void clearError();
    bool fail();
    void onErrorOccurred(QSerialPort::SerialPortError error);

    const QString m_location;
    ExclusiveLock m_lock;
    QSerialPort m_port;
    QByteArray m_received;
    Error m_error = Error::None;
    QString m_errorString;
};
