// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "window/device_chooser.h"

#include "ports/port_panel.h"
#include "serial/listing/port_listing.h"
#include "serial/serial_port.h"
#include "window/device_menu.h"
#include "window/main_window.h"
#include "window/panel_frame.h"
#include "window/start_options.h"

#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>

DeviceChooser::DeviceChooser(PortPanel &panel, QGroupBox *frame, const PortSystem &system,
                             int index, QObject *parent)
    : QObject(parent)
    , m_panel(panel)
    , m_frame(frame)
    , m_system(system)
    , m_index(index)
    , m_choice(system.chosen[index])
    , m_listing(new PortListing(system.list, this))
    , m_view(new PanelFrame(frame, system.builtIn[index], this))
{
    connect(m_view, &PanelFrame::menuWanted, this, &DeviceChooser::showMenu);
    use(m_choice.device);
}

void DeviceChooser::showTask()
{
    using Task = PortPanel::Task;
    using Waiting = PanelFrame::Waiting;
    const Task task = m_panel.task;
    m_view->showWaiting(task == Task::FindingDevice || task == Task::Opening ? Waiting::Opening
                            : task == Task::ClosingOnceSent || task == Task::ChangingSpeedOnceSent
                            ? Waiting::Sending
                            : Waiting::No);
}

bool DeviceChooser::findAgain()
{
    if (m_panel.task == PortPanel::Task::FindingDevice)
        return false; // the list on its way answers
    if (!m_panel.deviceChoosable())
        return true; // open, or busy: OPEN knows what to do
    if (m_choice.keptByIdentity()) {
        m_panel.task = PortPanel::Task::FindingDevice;
        m_listing->start();
        return false;
    }
    refuseTheOthers(m_choice.nodeAmong({}), {});
    return true;
}

bool DeviceChooser::foundIn(const QList<SystemPort> &ports)
{
    if (m_panel.task != PortPanel::Task::FindingDevice)
        return false; // given up meanwhile
    m_panel.task = PortPanel::Task::None;
    m_other->refresh(ports);
    const PortFound found = m_choice.findAmong(ports);
    // Its old node may be another adapter's by now: never open that one in its stead.
    if (!found.port) {
        const QString chosen = m_choice.name.isEmpty() ? m_choice.identity : m_choice.name;
        if (found.alike.isEmpty()) {
            throw Failure(Failure::DeviceNotFound,
                          tr("%1 could not open: the adapter chosen for it, %2, is not plugged "
                             "in.")
                              .arg(m_panel.comm->displayName(), chosen));
        }
        QStringList alike;
        for (const SystemPort &port : found.alike)
            alike += port.name;
        throw Failure(
            Failure::DeviceNotFound,
            tr("%1 could not open: the adapter chosen for it, %2, cannot be told apart "
               "from others like it: %3. Choose one of them.")
                .arg(m_panel.comm->displayName(), chosen, alike.join(QStringLiteral("; "))));
    }
    follow(*found.port);
    refuseTheOthers(m_choice.nodeAmong(ports), ports);
    return true;
}

void DeviceChooser::refresh(const QList<SystemPort> &ports)
{
    if (!m_choice.keptByIdentity() || !m_panel.deviceChoosable())
        return;
    if (const PortFound found = m_choice.findAmong(ports); found.port)
        follow(*found.port);
}

// The node, name and socket the system gives the adapter now, kept for the next run too.
void DeviceChooser::follow(const SystemPort &port)
{
    const DeviceChoice now = DeviceChoice::of(port);
    if (now.device == m_choice.device && now.identity == m_choice.identity
        && now.name == m_choice.name)
        return;
    m_choice = now;
    use(now.device);
    remember();
}

// Two panels never open one device, whatever the nodes their choices were made under.
void DeviceChooser::refuseTheOthers(const QString &node, const QList<SystemPort> &ports) const
{
    const PortPanel &other = m_other->m_panel;
    const QString others = other.deviceChoosable()
        ? m_other->m_choice.nodeAmong(ports)
        : StartOptions::deviceIdentity(other.comm->device());
    if (node.isEmpty() || node != others)
        return;
    throw Failure(
        Failure::PortInUse,
        tr("%1 could not open: %2 is the device of %3.")
            .arg(m_panel.comm->displayName(), m_panel.comm->device(), other.comm->portName()));
}

void DeviceChooser::showMenu(const QPoint &at)
{
    const DeviceMenu::Panels panels {m_panel.comm->portName(),          m_choice,
                                     m_system.builtIn[m_index],         m_panel.deviceChoosable(),
                                     m_other->m_panel.comm->portName(), m_other->choice()};
    auto *menu = new DeviceMenu(panels, m_system.list, m_frame);
    connect(menu, &DeviceMenu::listed, this, [this](const QList<SystemPort> &ports) {
        refresh(ports);
        m_other->refresh(ports);
    });
    connect(menu, &DeviceMenu::chosen, this, &DeviceChooser::choose);
    connect(menu, &DeviceMenu::otherDeviceWanted, this, &DeviceChooser::askForDevice);
    menu->popup(at);
}

bool DeviceChooser::choose(const DeviceChoice &choice)
{
    if (!m_panel.deviceChoosable())
        return false; // the port was opened meanwhile
    // The built-in default, too, may be what the other panel has.
    const DeviceChoice &other = m_other->choice();
    if (choice.isSameDevice(other)) {
        emit failed(othersDevice(choice.device));
        return false;
    }
    m_choice = choice;
    use(choice.device);
    remember();
    return true;
}

void DeviceChooser::askForDevice()
{
    if (!m_panel.deviceChoosable())
        return;
    auto *dialog = new QInputDialog(m_frame->window());
    dialog->setObjectName(QStringLiteral("deviceDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(m_frame->window()->windowTitle());
    dialog->setLabelText(
        tr("The device of %1. %2").arg(m_panel.comm->portName(), StartOptions::namesHelp()));
    // What was typed and refused last comes back for a second try.
    dialog->setTextValue(m_typed.isEmpty() ? m_choice.device : m_typed);
    connect(dialog, &QInputDialog::textValueSelected, this, &DeviceChooser::take);
    // As wide as the window, not as the help's one line.
    for (QLabel *label : dialog->findChildren<QLabel *>())
        label->setWordWrap(true);
    dialog->setMaximumWidth(m_frame->window()->width());
    dialog->open();
}

// The same rules and words as for --com1 and --com2; a device refused changes nothing.
void DeviceChooser::take(const QString &typed)
{
    const QString value = typed.trimmed();
    if (value.isEmpty() || !m_panel.deviceChoosable())
        return;
    m_typed = value;
    const StartOptions::Named named
        = StartOptions::nameDevice(value, m_panel.comm->portName(), {}, {});
    if (!named.refusal.isEmpty()) {
        //: A device typed for a port that cannot be its device: %1 is the port, %2 why.
        emit failed(
            Failure(Failure::DeviceNotFound,
                    tr("%1 keeps its device: %2").arg(m_panel.comm->portName(), named.refusal)));
        return;
    }
    // The other panel's device, by whatever name it was typed, is refused as in the menu.
    const QString others = StartOptions::deviceIdentity(m_other->m_choice.device);
    if (StartOptions::deviceIdentity(named.device) == others) {
        emit failed(othersDevice(named.device));
        return;
    }
    if (choose(DeviceChoice::of(named.device)))
        m_typed.clear();
}

Failure DeviceChooser::othersDevice(const QString &device) const
{
    return Failure(Failure::PortInUse,
                   tr("%1 keeps its device: %2 is the device of %3.")
                       .arg(m_panel.comm->portName(), device, m_other->m_panel.comm->portName()));
}

void DeviceChooser::use(const QString &device)
{
    if (device != m_panel.comm->device())
        m_panel.comm->setDevice(m_system.create(device));
    m_view->showDevice(device, m_panel.comm->displayName(), m_choice.name);
}

void DeviceChooser::remember()
{
    if (!m_system.settings)
        return;
    const bool builtIn = m_choice.identity == m_system.builtIn[m_index];
    DeviceChoice::remember(*m_system.settings, m_panel.comm->portName(),
                           builtIn ? std::nullopt : std::optional(m_choice));
}
