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
    // port, the device itself.
    QString identity;
};

// The serial ports present now, in the order of their names (ttyS2 before ttyS10). Nothing is
// opened, and ports the system has a node for but no hardware behind (8250 UARTs that the
// kernel reserves but did not find) are left out. It reads the system's own tables and may take
// a while where a driver is slow to answer: not on the window's thread. On Linux, sysfs is the
// root of the tree to read, for tests; elsewhere it is unused.
QList<SystemPort> systemPorts(const QString &sysfs = QStringLiteral("/sys"));

// The same, as each system lists them, in no particular order.
QList<SystemPort> listedPorts(const QString &sysfs);

// The device the port of that identity has now, or nothing when no such port is present.
std::optional<QString> deviceOf(const QString &identity,
                                const QString &sysfs = QStringLiteral("/sys"));
