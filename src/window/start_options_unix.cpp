// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "window/start_options.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <sys/stat.h>

QStringList StartOptions::arguments(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QFile::decodeName(argv[i]));
    return arguments;
}

int StartOptions::show() const
{
    const QString text = message.endsWith(u'\n') ? message : message + u'\n';
    std::fputs(text.toLocal8Bit().constData(), outcome == Refuse ? stderr : stdout);
    return outcome == Refuse ? 2 : 0;
}

// A bare name is a device in /dev, as Qt Serial Port itself takes it; a path is taken as given.
// A device that is not there yet may come (adapters come and go); a file that is there and is no
// device never becomes a serial port.
std::optional<QString> StartOptions::deviceName(const QString &value)
{
    const bool path = value.startsWith(u'/') || value.startsWith(QLatin1String("./"))
        || value.startsWith(QLatin1String("../"));
    const QString name = path ? value : QStringLiteral("/dev/") + value;
    struct stat file;
    if (::stat(QFile::encodeName(name).constData(), &file) == 0 && !S_ISCHR(file.st_mode))
        return std::nullopt;
    return name;
}

// Links, /dev/serial/by-id/... among them, lead to the device itself.
QString StartOptions::deviceIdentity(const QString &name)
{
    const QFileInfo file(name);
    return file.exists() ? file.canonicalFilePath() : QDir::cleanPath(file.absoluteFilePath());
}

QString StartOptions::namesHelp()
{
    return tr(
        "Give a device's path, as /dev/ttyUSB0 or /dev/serial/by-id/..., or its name in /dev, "
        "as ttyACM0.");
}
