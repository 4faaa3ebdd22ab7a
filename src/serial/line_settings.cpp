// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/line_settings.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace {

// The speeds serial drivers commonly accept; anything else is refused before it reaches a device.
constexpr std::array<qint32, 19> standardSpeeds
    = {110,   300,   600,   1200,   2400,   4800,   9600,   14400,  19200, 28800,
       38400, 56000, 57600, 115200, 128000, 230400, 256000, 460800, 921600};

std::optional<LineSettings::Parity> parityFromLetter(const QString &letter)
{
    const QString lower = letter.toLower();
    if (lower == u"n")
        return LineSettings::Parity::None;
    if (lower == u"e")
        return LineSettings::Parity::Even;
    if (lower == u"o")
        return LineSettings::Parity::Odd;
    if (lower == u"m")
        return LineSettings::Parity::Mark;
    if (lower == u"s")
        return LineSettings::Parity::Space;
    return std::nullopt;
}

std::optional<LineSettings::StopBits> stopBitsFromText(const QString &text)
{
    if (text == u"1")
        return LineSettings::StopBits::One;
    if (text == u"1.5")
        return LineSettings::StopBits::OneAndHalf;
    if (text == u"2")
        return LineSettings::StopBits::Two;
    return std::nullopt;
}

} // namespace

qint64 LineSettings::millisecondsFor(qint64 bytes) const
{
    // A start bit, the data bits, the parity bit and the stop bits, one and a half counted as two.
    const int bitsPerByte
        = 1 + dataBits + (parity != Parity::None) + (stopBits == StopBits::One ? 1 : 2);
    return (bytes * bitsPerByte * 1000 + baudRate - 1) / baudRate;
}

std::optional<LineSettings> LineSettings::parse(const QString &text)
{
    const QStringList fields = text.split(u',');
    if (fields.size() != 4)
        return std::nullopt;

    bool speedIsNumber = false;
    const qint32 speed = fields[0].toInt(&speedIsNumber);
    const bool knownSpeed
        = std::find(standardSpeeds.begin(), standardSpeeds.end(), speed) != standardSpeeds.end();
    // toInt() would take " 9600" or "+9600"; the settings string has plain digits only.
    const bool plainDigits = std::all_of(fields[0].begin(), fields[0].end(),
                                         [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (!speedIsNumber || !plainDigits || !knownSpeed)
        return std::nullopt;

    const auto parity = parityFromLetter(fields[1]);
    const auto stopBits = stopBitsFromText(fields[3]);
    const QChar bits = fields[2].size() == 1 ? fields[2].at(0) : QChar();
    if (!parity || !stopBits || bits < u'5' || bits > u'8')
        return std::nullopt;

    return LineSettings {speed, *parity, bits.unicode() - u'0', *stopBits};
}
