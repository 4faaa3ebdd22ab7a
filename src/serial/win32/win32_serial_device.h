// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include "serial/serial_device.h"

#include <QTimer>
#include <QWinEventNotifier>
#include <qt_windows.h>

#include <memory>

class OpenAttempt;
struct Win32PendingIo;

// A real serial line through the Windows communications API. Nothing here waits for the line:
// a read stays with the driver until bytes arrive, and the driver reports them, finished writes
// and an emptied transmitter through events that the event loop watches; received bytes are
// taken as they arrive and kept until read, however many they are. Opening and the line's
// settings are in win32_serial_device.cpp, the bytes' ways in and out in win32_serial_io.cpp,
// the wait for sent bytes and closing in win32_serial_drain.cpp.
class Win32SerialDevice : public SerialDevice
{
public:
    explicit Win32SerialDevice(const QString &location);
    ~Win32SerialDevice() override;

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
    bool drain() override;
    void discardOutput() override;
    QString lineErrors() const override;
    Error error() const override { return m_error; }
    QString errorString() const override { return m_errorString; }

private:
    // A write answers at the latest after so long with what the driver took of it.
    static constexpr DWORD writeAnswerMs = 100;
    // How long closing waits for the driver to end the requests it cancels.
    static constexpr DWORD closeWaitMs = 1000;
    // How often the line's state is asked for, for drivers that report no loss of the line.
    static constexpr int lineCheckMs = 5000;
    // How soon a read that ended without a byte is started again.
    static constexpr int emptyReadRetryMs = 50;

    bool begin();
    bool fail(DWORD systemError, Error error = Error::Io);
    bool checkLine();
    void receive();
    void onReceived();
    void startWrite();
    void onWritten();
    void startFlush();
    void onFlushed();

    const QString m_location;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    // The requests of the current opening; a fresh one for each.
    std::unique_ptr<Win32PendingIo> m_io;
    // CreateFile under way, or answered and not yet taken by open().
    std::shared_ptr<OpenAttempt> m_opening;
    QWinEventNotifier m_receivedNotifier;
    QWinEventNotifier m_writtenNotifier;
    QWinEventNotifier m_flushedNotifier;
    QTimer m_lineCheck;
    DWORD m_lineErrors = 0; // CE_ flags seen since the port was opened
    bool m_requestToSend = true;
    QByteArray m_received;
    QByteArray m_queued; // accepted by write(), not yet handed to the driver
    bool m_writeDiscarded = false; // the write with the driver was cancelled by discardOutput()
    quint64 m_writes = 0; // write() calls since the port was opened
    quint64 m_flushedWrites = 0; // of them, those the driver has said it sent
    quint64 m_flushingWrites = 0; // of them, those the running flush covers
    bool m_drainWanted = false; // drain() said no: the sent handler is called once it is so
    Error m_error = Error::None;
    QString m_errorString;
};
