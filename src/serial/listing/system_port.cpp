// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/listing/system_port.h"

#include <QCoreApplication>
#include <QHash>

#include <algorithm>
#include <utility>

namespace {

const QString twinMark = QStringLiteral(":at=");

// The identity without a twin's socket.
QString withoutTwinSocket(const QString &identity)
{
    return identity.section(twinMark, 0, 0);
}

// The kind of an adapter kept by its socket: its identity without the socket.
QString kindOf(const QString &identity)
{
    QStringList parts = identity.split(u':');
    const qsizetype before = parts.size();
    parts.removeIf([](const QString &part) { return part.startsWith(QLatin1String("port=")); });
    return parts.size() < before ? parts.join(u':') : QString();
}

} // namespace

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
    QHash<QString, int> carrying;
    for (const SystemPort &port : std::as_const(ports))
        ++carrying[port.identity];
    for (SystemPort &port : ports) {
        if (carrying.value(port.identity) < 2 || port.socket.isEmpty())
            continue;
        port.identity += twinMark + port.socket;
        if (port.name.endsWith(u')')) {
            port.name.chop(1);
            port.name += QStringLiteral(", %1)").arg(
                QCoreApplication::translate("SystemPort", "USB port %1").arg(port.socket));
        }
    }
    return ports;
}

PortFound findPort(const QList<SystemPort> &ports, const QString &identity,
                   const QString &description)
{
    const QString socket = identity.section(twinMark, 1);
    QList<SystemPort> carrying;
    for (const SystemPort &port : ports) {
        if (withoutTwinSocket(port.identity) == withoutTwinSocket(identity))
            carrying += port;
    }
    if (!socket.isEmpty()) {
        // Found as the choice knows it, with its socket, though its twin may have gone.
        for (SystemPort port : std::as_const(carrying)) {
            if (port.socket != socket)
                continue;
            port.identity = withoutTwinSocket(port.identity) + twinMark + socket;
            return {port, {}};
        }
        return {};
    }
    if (carrying.size() == 1)
        return {carrying.first(), {}};
    if (carrying.size() > 1)
        return {std::nullopt, carrying};
    const QString kind = kindOf(identity);
    QList<SystemPort> alike;
    for (const SystemPort &port : ports) {
        if (!kind.isEmpty() && kindOf(port.identity) == kind
            && (description.isEmpty() || port.description == description))
            alike += port;
    }
    if (alike.size() == 1)
        return {alike.first(), {}};
    return {std::nullopt, alike};
}
