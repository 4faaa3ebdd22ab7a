// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QString>

#include <optional>

// A line configuration as the settings string spells it: "115200,n,8,1".
// Each device turns it into its own system's terms.
struct LineSettings
{
    enum class Parity { None, Even, Odd, Mark, Space };
    enum class StopBits { One, OneAndHalf, Two };

    qint32 baudRate = 9600;
    Parity parity = Parity::None;
    int dataBits = 8; // 5 to 8
    StopBits stopBits = StopBits::One;

    // Empty when the text is malformed or names a speed no serial port offers.
    static std::optional<LineSettings> parse(const QString &text);

    // How long so many bytes take on the line, in whole milliseconds rounded up.
    qint64 millisecondsFor(qint64 bytes) const;

    friend bool operator==(const LineSettings &a, const LineSettings &b)
    {
        return a.baudRate == b.baudRate && a.parity == b.parity && a.dataBits == b.dataBits
            && a.stopBits == b.stopBits;
    }
};
