// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// What the program was started with: which devices the COM1 and COM2 panels drive. Without
// options they are the ones the program was built with.
//   korvane-speed-demo [--com1 DEVICE] [--com2 DEVICE] | --list-ports | --help | --version
struct StartOptions
{
    Q_DECLARE_TR_FUNCTIONS(StartOptions)

public:
    enum Outcome { Run, ShowHelp, ShowVersion, ListPorts, Refuse, NoDisplay };
    // Where a port's device comes from.
    enum Origin { BuiltIn, Remembered, Option };

    // The arguments after the program's name, in the system's own encoding of the command line.
    static QStringList arguments(int argc, char *argv[]);
    static StartOptions parse(const QStringList &arguments, const QString &com1Default,
                              const QString &com2Default);

    // Says what the user asked for, or why the options were refused, where a user sees it: on
    // standard output or standard error, or in a message box on a system whose graphical
    // programs have no console. Returns the exit status.
    int show() const;

    // The device a user names for a port (portName: "COM1"), checked as an option is: against
    // what a serial port's name may be, and against the other port's device. The name it is
    // opened and shown by, or why it is refused, in words that complete a message.
    struct Named
    {
        QString device;
        QString refusal;
    };
    static Named nameDevice(const QString &value, const QString &portName,
                            const QString &otherPortName, const QString &otherDevice);
    // The same for any two names of one device.
    static QString deviceIdentity(const QString &name);
    // What a device's name may be, in words.
    static QString namesHelp();
    // The name a user knows a device by: "ttyUSB0", "COM7".
    static QString shortName(const QString &device);
    // Whether the system has the device now, asked without opening it.
    static bool isPresent(const QString &device);
    // Whether there is a display to open the window on.
    static bool hasDisplay();

    Outcome outcome = Run;
    QString com1;
    QString com2;
    QString message; // the help, the version or the refusal
    // Whether an option named the device, rather than the default.
    bool com1Given = false;
    bool com2Given = false;

    static StartOptions refused(const QString &why);
    static StartOptions noDisplay();
    // The end of the help: the devices of this run, where each comes from, and how to choose
    // another.
    static QString devicesHelp(const std::array<QString, 2> &devices,
                               const std::array<Origin, 2> &origins, const QString &settingsFile);

private:
    // The name a device is opened and shown by, or nothing when the value names no serial port.
    static std::optional<QString> deviceName(const QString &value);
};
