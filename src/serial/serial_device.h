// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

struct LineSettings;

// The thin seam between the serial component and a real line. Implementations only move bytes
// and control lines; open state, settings strings and failure texts stay in SerialPort.
class SerialDevice
{
public:
    enum class Error { None, NotFound, PermissionDenied, InUse, Unsupported, Io };

    virtual ~SerialDevice() = default;

    // The system's own device at that location: a terminal descriptor on Linux, the
    // communications API on Windows.
    static std::unique_ptr<SerialDevice> create(const QString &location);

    // Where the device lives, for messages: "/dev/ttyS0", "COM1".
    virtual QString location() const = 0;

    // Whether open() can run at once. Opening may have to wait for the system: for the device's
    // last closing to end, which waits for what the driver still holds to leave (up to 30 s), or
    // for a driver that asks the adapter over USB. When it would, the device waits away from the
    // caller's thread and calls the ready handler once open() can run; cancelOpen() gives up.
    virtual bool prepareOpen() { return true; }
    virtual void cancelOpen() { }
    virtual bool open(const LineSettings &settings) = 0;
    virtual void close() = 0;
    virtual bool apply(const LineSettings &settings) = 0;
    virtual bool setRequestToSend(bool active) = 0;
    // Takes every byte, in order, and starts it on its way before returning.
    virtual bool write(const QByteArray &bytes) = 0;
    // Everything received since the last call.
    virtual QByteArray readAll() = 0;
    // How many of the bytes write() took have not yet left the host: those still queued here, in
    // the driver's output queue and, where the driver tells, in the transmitter. Nothing on a
    // device that has failed.
    virtual qint64 bytesToWrite() = 0;
    // When what the device has handed to the driver can at the earliest have left the line, at
    // the line's speed, on the monotonic clock in milliseconds; 0 for a device that hands every
    // byte on as write() takes it, whose caller counts from then.
    virtual qint64 sentBy() const { return 0; }
    // Whether every byte write() took has left the host, the adapter's own transmitter included,
    // which many drivers count nowhere. When that is not known at once, the device asks the
    // driver away from the caller's thread and calls the sent handler once it has answered;
    // another call meanwhile waits for the same answer. Closing ends the wait without a call.
    // A device that has failed has not sent what it held: false, and the failure handler tells.
    virtual bool drain() = 0;
    // Throws away every byte write() took that has not yet left, so that closing the device does
    // not wait for them.
    virtual void discardOutput() = 0;
    // The faults the driver found in what it received since the device was opened (overrun,
    // framing, parity), in words; empty when it found none or does not tell.
    virtual QString lineErrors() const { return {}; }

    // The last failure, and the system's own words for it. A failure that happened between calls
    // (the device went away) stays here until the device is closed.
    virtual Error error() const = 0;
    virtual QString errorString() const = 0;

    // Called when the device fails on its own, between calls (the adapter was pulled out), so that
    // the port can let it go at once instead of at the user's next click.
    void setFailureHandler(std::function<void()> handler) { m_failureHandler = std::move(handler); }
    // Called on the caller's thread when a drain that did not end at once has.
    void setSentHandler(std::function<void()> handler) { m_sentHandler = std::move(handler); }
    // Called on the caller's thread when a device that was not ready to open is.
    void setReadyHandler(std::function<void()> handler) { m_readyHandler = std::move(handler); }

protected:
    void reportFailure() const
    {
        if (m_failureHandler)
            m_failureHandler();
    }
    void reportSent() const
    {
        if (m_sentHandler)
            m_sentHandler();
    }
    void reportReady() const
    {
        if (m_readyHandler)
            m_readyHandler();
    }

private:
    std::function<void()> m_failureHandler;
    std::function<void()> m_sentHandler;
    std::function<void()> m_readyHandler;
};
