// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "window/device_menu.h"

#include "window/start_options.h"

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
    m_separator = addSeparator();
    m_otherDevice = addAction(tr("&Other device…"));
    m_otherDevice->setEnabled(panels.choosable);
    connect(m_otherDevice, &QAction::triggered, this, &DeviceMenu::otherDeviceWanted);
    m_builtIn = addAction(tr("Built-in &default (%1)").arg(panels.builtIn));
    m_builtIn->setEnabled(panels.choosable
                          && !DeviceChoice::of(panels.builtIn).isSameDevice(panels.other));
    connect(m_builtIn, &QAction::triggered, this,
            [this] { emit chosen(DeviceChoice::of(m_panels.builtIn)); });

    auto *listing = new PortListing(lister, this);
    connect(listing, &PortListing::listed, this, &DeviceMenu::addPorts);
    listing->start();
}

void DeviceMenu::addPorts(const QList<SystemPort> &ports)
{
    emit listed(ports);
    auto *group = new QActionGroup(this);
    // Each panel's device where the list has it now, however it was chosen.
    const DeviceChoice &mine = m_panels.current;
    const PortFound found = mine.findAmong(ports);
    const QString mineNode = found.port ? StartOptions::deviceIdentity(found.port->device) : "";
    const QString othersNode = m_panels.other.nodeAmong(ports);
    bool mineListed = false;
    for (const SystemPort &port : ports) {
        const QString node = StartOptions::deviceIdentity(port.device);
        const bool current = node == mineNode;
        const bool others = node == othersNode;
        mineListed = mineListed || current;
        QAction *entry = new QAction(
            others ? tr("%1 — in use by %2").arg(port.name, m_panels.otherPort) : port.name, group);
        entry->setCheckable(true);
        entry->setChecked(current);
        entry->setEnabled(m_panels.choosable && !others);
        const DeviceChoice listed = DeviceChoice::of(port);
        connect(entry, &QAction::triggered, this, [this, listed] { emit chosen(listed); });
    }
    // The device the port has, when the list does not: an adapter chosen by what it is and not
    // plugged in now, or a device named by hand (a pseudo-terminal, a port the system does not
    // list, a built-in default the machine does not have).
    if (!mineListed) {
        const QString absent = mine.name.isEmpty() ? mine.device : mine.name;
        QString text = mine.device;
        if (!found.alike.isEmpty())
            text = tr("%1 — more than one like it plugged in").arg(absent);
        else if (mine.keptByIdentity())
            text = tr("%1 — not plugged in").arg(absent);
        else if (!StartOptions::isPresent(mine.device))
            text = tr("%1 — not present").arg(absent);
        QAction *entry = new QAction(text, group);
        entry->setCheckable(true);
        entry->setChecked(true);
        entry->setEnabled(m_panels.choosable);
    }
    if (StartOptions::deviceIdentity(m_panels.builtIn) == othersNode)
        m_builtIn->setEnabled(false);
    m_looking->setText(tr("No serial ports found"));
    m_looking->setVisible(ports.isEmpty());
    insertActions(m_separator, group->actions());
}
