// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "window/start_options.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <qt_windows.h>
#include <shellapi.h>

#include <iterator>

namespace {

// "COM7", "com7", "\\.\COM12": the number; any other name in the \\.\ form: the rest of it.
const QRegularExpression comPort(QStringLiteral("^(\\\\\\\\\\.\\\\)?COM([1-9][0-9]{0,3})$"),
                                 QRegularExpression::CaseInsensitiveOption);
const QString deviceSpace = QStringLiteral("\\\\.\\");

} // namespace

// The command line as Windows has it, in UTF-16: the program's narrow argv is in the ANSI code
// page, which cannot carry every name.
QStringList StartOptions::arguments(int, char *[])
{
    QStringList arguments;
    int count = 0;
    if (wchar_t **words = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            arguments.append(QString::fromWCharArray(words[i]));
        LocalFree(words);
    }
    return arguments;
}

// A program without a console has nowhere else to say it.
int StartOptions::show() const
{
    const QString title = QCoreApplication::applicationName();
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t *>(message.utf16()),
                reinterpret_cast<const wchar_t *>(title.utf16()),
                MB_OK | (outcome == Refuse ? MB_ICONERROR : MB_ICONINFORMATION));
    return outcome == Refuse ? 2 : 0;
}

// COM10 and above are opened in the \\.\ form, which the device adds; a name already in that form
// passes as given.
std::optional<QString> StartOptions::deviceName(const QString &value)
{
    const QRegularExpressionMatch port = comPort.match(value);
    if (port.hasMatch())
        return port.captured(1).isEmpty() ? QStringLiteral("COM") + port.captured(2) : value;
    if (value.startsWith(deviceSpace) && value.size() > deviceSpace.size()
        && !value.sliced(deviceSpace.size()).contains(u'\\'))
        return value;
    return std::nullopt;
}

QString StartOptions::deviceIdentity(const QString &name)
{
    const QString bare = name.startsWith(deviceSpace) ? name.sliced(deviceSpace.size()) : name;
    return bare.toUpper();
}

QString StartOptions::namesHelp()
{
    return tr("Give a COM port, as COM7 or COM12, or a device name as \\\\.\\CNCA0.");
}

QString StartOptions::shortName(const QString &device)
{
    return device.startsWith(deviceSpace) ? device.sliced(deviceSpace.size()) : device;
}

// The system's name for a port it has: COM7's is \Device\Serial0 or the like.
bool StartOptions::isPresent(const QString &device)
{
    wchar_t target[512];
    const QString name = shortName(device);
    return QueryDosDeviceW(reinterpret_cast<const wchar_t *>(name.utf16()), target,
                           DWORD(std::size(target)))
        != 0;
}

bool StartOptions::hasDisplay()
{
    return true;
}
