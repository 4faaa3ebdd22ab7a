// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "window/device_menu.h"


#include <QActionGroup>

DeviceMenu::DeviceMenu(const Panels &panels, const PortListing::Lister &lister, QWidget *parent)
    : QMenu(parent)
    , m_panels(panels)
{
    setObjectName(QStringLiteral("deviceMenu"));
    setAttribute(Qt::WA_DeleteOnClose);
    addSection(tr("Device of %1").arg(panels.port));
    if (!panels.choosable)
        addAction(tr("Click CLOSE first to choose another device."))->setEnabled(false);
    m_looking = addAction(tr("Looking for serial ports…"));
    m_looking->setEnabled(false);
    addSeparator();
    m_otherDevice = addAction(tr("&Other device…"));
    m_otherDevice->setEnabled(panels.choosable);
    connect(m_otherDevice, &QAction::triggered, this, &DeviceMenu::otherDeviceWanted);
    QAction *builtIn = addAction(tr("Built-in &default (%1)").arg(panels.builtIn));
    builtIn->setEnabled(panels.choosable);
    connect(builtIn, &QAction::triggered, this,
            [this] { emit chosen(DeviceChoice::of(m_panels.builtIn)); });

    auto *listing = new PortListing(lister, this);
    connect(listing, &PortListing::listed, this, &DeviceMenu::addPorts);
    listing->start();
}

void DeviceMenu::addPorts(const QList<SystemPort> &ports)
{
    auto *group = new QActionGroup(this);
    // A device named by hand is the listed port of the same device.
    const DeviceChoice &mine = m_panels.current;
    const bool named = mine.identity == mine.device;
    bool mineListed = false;
    for (const SystemPort &port : ports) {
        const DeviceChoice listed {port.device, port.identity, port.name};
        const bool current = named ? listed.isSameDevice(mine) : port.identity == mine.identity;
        const bool others = listed.isSameDevice(m_panels.other);
        mineListed = mineListed || current;
        QAction *entry = new QAction(
            others ? tr("%1 — in use by %2").arg(port.name, m_panels.otherPort) : port.name, group);
        entry->setCheckable(true);
        entry->setChecked(current);
        entry->setEnabled(m_panels.choosable && !others);
        connect(entry, &QAction::triggered, this, [this, listed] { emit chosen(listed); });
    }
    // The device the port has, when the list does not: an adapter chosen by what it is and not
    // plugged in now, or a device named by hand (a pseudo-terminal, a port the system does not
    // list, a built-in default the machine does not have).
    if (!mineListed) {
        const QString absent = mine.name.isEmpty() ? mine.device : mine.name;
        QAction *entry
            = new QAction(named ? mine.device : tr("%1 — not plugged in").arg(absent), group);
        entry->setCheckable(true);
        entry->setChecked(true);
        entry->setEnabled(false);
    }
    m_looking->setVisible(false);
    insertActions(m_looking, group->actions());
}
