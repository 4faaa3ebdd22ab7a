// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QList>
#include <QString>

#include <optional>

// A serial port the system has, as a user picks it: found without opening it, as opening can
// change DTR and RTS on whatever is attached.
struct SystemPort
{
    // What the port is opened by: "/dev/ttyUSB0", "COM7".
    QString device;
    // How the system names it to a user: on Linux the node and what the adapter says of itself,
    // "/dev/ttyUSB0 — FT232R USB UART (FTDI, serial A50285BI)"; on Windows its friendly name,
    // "USB Serial Port (COM7)". Two identical adapters differ by serial number or USB socket.
    QString name;
    // What finds the same port again once the system has given it another node: on Linux a USB
    // adapter's vendor, product and serial number, or its USB socket when it has no serial
    // number; on Windows, which keeps a COM number for each adapter, the COM name. For any other
    // port, the device itself. Twins, adapters that carry one identity (cloned chips share a
    // serial number), have their socket added to it and to their names: ":at=1-2".
    QString identity;
    // A USB adapter's socket ("1-1.2") and what it calls itself ("FT232R USB UART"), which tell
    // twins apart and find an adapter without a serial number in another socket; empty for
    // other ports.
    QString socket = {};
    QString description = {};
};

// Where a port chosen earlier by its identity is among the ports listed now: the one port that
// carries the identity, or none; and when it cannot be told apart from others, those.
struct PortFound
{
    std::optional<SystemPort> port;
    QList<SystemPort> alike;
};

// The serial ports present now, in the order of their names (ttyS2 before ttyS10). Nothing is
// opened, and ports the system has a node for but no hardware behind (8250 UARTs that the
// kernel reserves but did not find) are left out. It reads the system's own tables and may take
// a while where a driver is slow to answer: not on the window's thread. On Linux, sysfs is the
// root of the tree to read, for tests; elsewhere it is unused.
QList<SystemPort> systemPorts(const QString &sysfs = QStringLiteral("/sys"));

// The same, as each system lists them, in no particular order.
QList<SystemPort> listedPorts(const QString &sysfs);

// The port of that identity and description among ports. A twin is found only in its own
// socket. An adapter without a serial number, kept by its socket, is found in another socket
// when no port of its identity is in its own and it is the one of its kind there (vendor,
// product, interface and description).
PortFound findPort(const QList<SystemPort> &ports, const QString &identity,
                   const QString &description);
