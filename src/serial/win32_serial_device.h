// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include "serial/serial_device.h"

#include <QTimer>
#include <QWinEventNotifier>
#include <qt_windows.h>

// A real serial line through the Windows communications API. Nothing here waits for the line:
// the driver reports received bytes and finished writes through events that the event loop
// watches, and received bytes are taken from the driver as they arrive and kept until read,
// however many they are. Opening and the line's settings are in win32_serial_device.cpp, the
// bytes' ways in and out in win32_serial_io.cpp.
class Win32SerialDevice : public SerialDevice
{
public:
    explicit Win32SerialDevice(const QString &location);
    ~Win32SerialDevice() override;

    QString location() const override { return m_location; }
    bool open(const LineSettings &settings) override;
    void close() override;
    bool apply(const LineSettings &settings) override;
    bool setRequestToSend(bool active) override;
    bool write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    qint64 bytesToWrite() override;
    QString lineErrors() const override;
    Error error() const override { return m_error; }
    QString errorString() const override { return m_errorString; }

private:
    bool begin();
    bool fail(DWORD systemError, Error error = Error::Io);
    void watchReceived();
    void onReceived();
    bool takeReceived();
    void startWrite();
    void onWritten();

    const QString m_location;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    DWORD m_eventsError = ERROR_SUCCESS; // why the events could not be made, if they could not
    OVERLAPPED m_waitDone {};
    OVERLAPPED m_readDone {};
    OVERLAPPED m_writeDone {};
    QWinEventNotifier m_receivedNotifier;
    QWinEventNotifier m_writtenNotifier;
    QTimer m_lineCheck;
    DWORD m_events = 0;
    DWORD m_lineErrors = 0; // CE_ flags seen since the port was opened
    bool m_watching = false;
    bool m_requestToSend = true;
    QByteArray m_received;
    QByteArray m_queued; // accepted by write(), not yet handed to the driver
    QByteArray m_writing; // with the driver until it reports the write done
    Error m_error = Error::None;
    QString m_errorString;
};
