// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "window/device_choice.h"

#include "window/start_options.h"

#include <QSettings>

#include <utility>

namespace {

const QString deviceKey = QStringLiteral("/device");
const QString identityKey = QStringLiteral("/identity");
const QString nameKey = QStringLiteral("/name");
const QString descriptionKey = QStringLiteral("/description");

} // namespace

// Nodes are compared only when both were named by them: a kept adapter's node may be another's.
bool DeviceChoice::isSameDevice(const DeviceChoice &other) const
{
    if (keptByIdentity() || other.keptByIdentity())
        return identity == other.identity;
    return StartOptions::deviceIdentity(device) == StartOptions::deviceIdentity(other.device);
}

PortFound DeviceChoice::findAmong(const QList<SystemPort> &ports) const
{
    if (keptByIdentity())
        return findPort(ports, identity, description);
    SystemPort itself;
    itself.device = device;
    itself.name = name.isEmpty() ? device : name;
    return {itself, {}};
}

QString DeviceChoice::nodeAmong(const QList<SystemPort> &ports) const
{
    const PortFound found = findAmong(ports);
    return found.port ? StartOptions::deviceIdentity(found.port->device) : QString();
}

std::optional<DeviceChoice> DeviceChoice::remembered(QSettings &settings, const QString &port)
{
    if (settings.status() != QSettings::NoError)
        return std::nullopt;
    const QVariant kept = settings.value(port + deviceKey);
    if (kept.typeId() != QMetaType::QString)
        return std::nullopt;
    const StartOptions::Named named = StartOptions::nameDevice(kept.toString(), port, {}, {});
    if (!named.refusal.isEmpty() || named.device != kept.toString())
        return std::nullopt;
    DeviceChoice choice {named.device, settings.value(port + identityKey).toString(),
                         settings.value(port + nameKey).toString(),
                         settings.value(port + descriptionKey).toString()};
    if (choice.identity.isEmpty())
        choice.identity = choice.device;
    return choice;
}

void DeviceChoice::remember(QSettings &settings, const QString &port,
                            const std::optional<DeviceChoice> &choice)
{
    if (choice) {
        settings.setValue(port + deviceKey, choice->device);
        settings.setValue(port + identityKey, choice->identity);
        settings.setValue(port + nameKey, choice->name);
        settings.setValue(port + descriptionKey, choice->description);
    } else {
        settings.remove(port);
    }
    settings.sync(); // a program killed later keeps it all the same
}

std::array<DeviceChoice, 2> DeviceChoice::atStart(StartOptions &options, QSettings &settings)
{
    const std::array<DeviceChoice, 2> defaults = {of(options.com1), of(options.com2)};
    const bool given[2] = {options.com1Given, options.com2Given};
    std::array<DeviceChoice, 2> choices = defaults;
    bool kept[2] = {false, false};
    for (int port = 0; port < 2; ++port) {
        if (given[port])
            continue;
        if (const auto choice = remembered(settings, QStringLiteral("COM%1").arg(port + 1))) {
            choices[port] = *choice;
            kept[port] = true;
        }
    }
    // A device that the other port has as well (by its option, or in settings edited by hand)
    // stays with the other.
    for (int port = 1; port >= 0 && choices[0].isSameDevice(choices[1]); --port) {
        if (std::exchange(kept[port], false))
            choices[port] = defaults[port];
    }
    if (options.outcome == StartOptions::ShowHelp) {
        const auto origin = [&](int port) {
            return given[port] ? StartOptions::Option
                : kept[port]   ? StartOptions::Remembered
                               : StartOptions::BuiltIn;
        };
        options.message += StartOptions::devicesHelp({choices[0].device, choices[1].device},
                                                     {origin(0), origin(1)}, settings.fileName());
    } else if (choices[0].isSameDevice(choices[1])) {
        const StartOptions::Named named = StartOptions::nameDevice(
            choices[0].device, QStringLiteral("COM1"), QStringLiteral("COM2"), choices[1].device);
        options = StartOptions::refused(named.refusal);
    }
    return choices;
}
