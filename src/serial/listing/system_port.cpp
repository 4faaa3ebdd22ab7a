// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/listing/system_port.h"

#include <algorithm>
#include <utility>

QList<SystemPort> systemPorts(const QString &sysfs)
{
    QList<SystemPort> ports = listedPorts(sysfs);
    // By name and then by number: ttyS2 before ttyS10, COM2 before COM10.
    const auto key = [](const QString &device) {
        qsizetype digits = device.size();
        while (digits > 0 && device[digits - 1].isDigit())
            --digits;
        return std::make_pair(device.left(digits), device.mid(digits).toLongLong());
    };
    std::sort(ports.begin(), ports.end(), [&key](const SystemPort &a, const SystemPort &b) {
        return key(a.device) < key(b.device);
    });
    return ports;
}

std::optional<QString> deviceOf(const QString &identity, const QString &sysfs)
{
    const QList<SystemPort> ports = systemPorts(sysfs);
    for (const SystemPort &port : ports) {
        if (port.identity == identity)
            return port.device;
    }
    return std::nullopt;
}
