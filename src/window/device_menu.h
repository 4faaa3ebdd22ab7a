// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include "serial/listing/port_listing.h"
#include "window/device_choice.h"

#include <QMenu>

// The menu of a panel's frame that chooses the device behind the panel's port: the system's
// serial ports as they are when it opens (listed away from the window's thread), another device
// typed by name, or the device the program was built with. The device the other panel has is
// shown as in use there, and cannot be chosen; the panel's own is checked, and tagged when it is
// absent. While the port is open, or busy, nothing can be chosen, and the menu says that CLOSE
// comes first.
class DeviceMenu : public QMenu
{
    Q_OBJECT

public:
    struct Panels
    {
        QString port; // "COM1"
        DeviceChoice current;
        QString builtIn; // the default device
        bool choosable = false;
        QString otherPort;
        DeviceChoice other;
    };

    DeviceMenu(const Panels &panels, const PortListing::Lister &lister, QWidget *parent);

signals:
    // The system's ports as they are now, before the menu shows them.
    void listed(const QList<SystemPort> &ports);
    void chosen(const DeviceChoice &choice);
    void otherDeviceWanted();

private:
    void addPorts(const QList<SystemPort> &ports);

    const Panels m_panels;
    QAction *m_looking = nullptr; // until the list is in; then says when it is empty
    QAction *m_separator = nullptr;
    QAction *m_otherDevice = nullptr;
    QAction *m_builtIn = nullptr;
};
