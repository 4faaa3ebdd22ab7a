// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "window/start_options.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <sys/stat.h>
#include <sys/sysmacros.h>

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
    const bool failed = outcome == Refuse || outcome == NoDisplay;
    std::fputs(text.toLocal8Bit().constData(), failed ? stderr : stdout);
    return outcome == Refuse ? 2 : failed ? 1 : 0;
}

// A bare name is a device in /dev; a path is taken as given. A device that is not there yet may
// come (adapters come and go); a file that is there and is no terminal device never becomes a
// serial port. Which driver a device belongs to sysfs tells without opening it: /dev/null is
// "mem"'s. Pseudo-terminals have no entry there, and are terminals.
std::optional<QString> StartOptions::deviceName(const QString &value)
{
    const bool path = value.startsWith(u'/') || value.startsWith(QLatin1String("./"))
        || value.startsWith(QLatin1String("../"));
    const QString name = path ? value : QStringLiteral("/dev/") + value;
    struct stat file;
    if (::stat(QFile::encodeName(name).constData(), &file) != 0)
        return name;
    const QFileInfo subsystem(QStringLiteral("/sys/dev/char/%1:%2/subsystem")
                                  .arg(major(file.st_rdev))
                                  .arg(minor(file.st_rdev)));
    if (!S_ISCHR(file.st_mode)
        || (subsystem.exists() && subsystem.canonicalFilePath() != u"/sys/class/tty"))
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

QString StartOptions::shortName(const QString &device)
{
    const QString dev = QStringLiteral("/dev/");
    const QString inDev = device.startsWith(dev) ? device.sliced(dev.size()) : QString();
    if (!inDev.isEmpty() && (!inDev.contains(u'/') || inDev.startsWith(QLatin1String("pts/"))))
        return inDev;
    return QFileInfo(device).fileName();
}

bool StartOptions::isPresent(const QString &device)
{
    return QFileInfo::exists(device);
}

// Qt's own platforms without one (offscreen, vnc) are the user's choice.
bool StartOptions::hasDisplay()
{
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY")
        || qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}
