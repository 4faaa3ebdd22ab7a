// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QSerialPort>
#include <QString>

#include <optional>

// A line configuration as the settings string spells it: "115200,n,8,1".
struct LineSettings
{
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    // Empty when the text is malformed or names a speed no serial port offers.
    static std::optional<LineSettings> parse(const QString &text);

    friend bool operator==(const LineSettings &a, const LineSettings &b)
    {
        return a.baudRate == b.baudRate && a.parity == b.parity && a.dataBits == b.dataBits
            && a.stopBits == b.stopBits;
    }
};
