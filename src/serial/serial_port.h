// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include "serial/failure.h"
#include "serial/line_settings.h"
#include "serial/received_text_decoder.h"
#include "serial/serial_device.h"

#include <QObject>

#include <memory>

// The serial communications component of one port, with exactly the operations the window uses:
// PortOpen, RTSEnable, Settings, Output and Input. Every refusal raises a Failure that names the
// port, its device and the cause. A device that stopped working is closed once its failure has
// been raised; what it received before is kept for the next Input.
class SerialPort : public QObject
{
    Q_OBJECT

public:
    SerialPort(const QString &portName, std::unique_ptr<SerialDevice> device,
               QObject *parent = nullptr);
    ~SerialPort() override;

    QString portName() const { return m_portName; }
    // The port as messages name it: "COM1 (/dev/ttyS0)".
    QString displayName() const;
    // Where its device is: "/dev/ttyS0", "COM1".
    QString device() const { return m_device->location(); }
    // Puts another device behind the closed port; its settings stay.
    void setDevice(std::unique_ptr<SerialDevice> device);
    // Counts the port's openings, so that whoever started something on one opening can tell
    // whether the port open now is still that one.
    quint32 openCount() const { return m_openCount; }

    bool portOpen() const { return m_open; }
    void setPortOpen(bool open);
    // Whether the port can be opened at once, without the window waiting for the system; when it
    // cannot, readyToOpen() follows once it can, unless cancelOpen() comes first.
    bool prepareOpen() { return m_open || m_device->prepareOpen(); }
    void cancelOpen() { m_device->cancelOpen(); }

    void setRTSEnable(bool active);

    QString settings() const { return m_settings; }
    void setSettings(const QString &settings);

    void setOutput(const QString &text);
    QString input();

    // Bytes Output took that have not yet left the host; none on a closed port.
    qint64 bytesToWrite() const;
    // How long so many bytes take on the line at its current settings.
    qint64 millisecondsToSend(qint64 bytes) const;
    // How long, at the least, what Output took still needs to have left the line: its time at
    // the line's speed from when it was written, however little of it the driver counts as
    // unsent, and a small margin for what no driver tells.
    qint64 millisecondsUntilSent() const;
    // Whether everything Output took has left the host, the adapter's transmitter included; when
    // that is not known at once, sent() follows once it is.
    bool drain();
    // Throws away what Output took and has not yet sent: CLOSE then does not wait for it.
    void discardOutput();

    // Faults the driver found in what the port received since it was opened, in words.
    QString lineErrors() const;

    // Raises the failure of a device that stopped working on its own, which closes the port; does
    // nothing while the device works.
    void checkDevice();

signals:
    // The device failed between operations: checkDevice() raises the failure.
    void deviceFailed();
    // A drain that did not end at once has: everything Output took has left.
    void sent();
    // A port that could not be opened at once can be now.
    void readyToOpen();

private:
    void connectDevice();
    void requireOpen(const QString &action) const;
    Failure deviceFailure(const QString &action);
    Failure describeDeviceFailure(const QString &action) const;
    QString systemWords() const;

    const QString m_portName;
    std::unique_ptr<SerialDevice> m_device;
    bool m_open = false;
    quint32 m_openCount = 0;
    qint64 m_sentBy
        = 0; // when all Output took can have left at the earliest, on the monotonic clock
    QString m_settings = QStringLiteral("9600,n,8,1");
    LineSettings m_line;
    ReceivedTextDecoder m_decoder;
    QString m_unread; // received before the device failed, not yet handed out
};
