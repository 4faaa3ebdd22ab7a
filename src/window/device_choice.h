// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include "serial/listing/system_port.h"

#include <QString>

#include <array>
#include <optional>

class QSettings;
struct StartOptions;

// The device behind a panel's port, as the user chose it: picked from the system's ports, typed
// by name, or the one the program was built with. It is kept in the user's settings
// (~/.config/Korvane/korvane-speed-demo.ini, %APPDATA%\Korvane\korvane-speed-demo.ini) once the
// user chooses, and only then.
struct DeviceChoice
{
    // The device it was last shown or opened as: "/dev/ttyUSB0", "COM7".
    QString device;
    // What finds it again once the system has given it another node (SystemPort::identity); a
    // typed or built-in device is its own identity.
    QString identity;
    // How the system's list named it, and what the adapter calls itself; empty for a device
    // typed or built in.
    QString name;
    QString description = {};

    static DeviceChoice of(const QString &device) { return {device, device, {}}; }
    static DeviceChoice of(const SystemPort &port)
    {
        return {port.device, port.identity, port.name, port.description};
    }

    // An adapter is kept by what it is, as its node may be another's by the next OPEN; any
    // other device by its name.
    bool keptByIdentity() const { return identity != device; }
    // Whether the other is the same device: the same adapter, or the same file behind any name.
    bool isSameDevice(const DeviceChoice &other) const;
    // Where it is among the ports listed now (findPort()); a device kept by its name is itself.
    PortFound findAmong(const QList<SystemPort> &ports) const;
    // Its node among them, empty when it is not there or cannot be told apart.
    QString nodeAmong(const QList<SystemPort> &ports) const;

    // What the settings keep for the port ("COM1"), when it is something that can be used: a
    // file that cannot be read, or a value that is no device, is as if nothing were kept.
    static std::optional<DeviceChoice> remembered(QSettings &settings, const QString &port);
    // Keeps the choice, written at once; none forgets it, for the built-in default.
    static void remember(QSettings &settings, const QString &port,
                         const std::optional<DeviceChoice> &choice);

    // What each port starts with: the option given for it for this run; else what the user
    // chose last, unless the other port has that device; else the built-in default. An option
    // that names the other port's default, when the other keeps it, refuses the options.
    static std::array<DeviceChoice, 2> atStart(StartOptions &options, QSettings &settings);
};
