// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "window/start_options.h"

#include <QCommandLineParser>

StartOptions StartOptions::refused(const QString &why)
{
    //: %1 is the program's name, %2 why its options were refused.
    return {Refuse,
            {},
            {},
            tr("%1: %2\nTry '%1 --help' for more information.")
                .arg(QCoreApplication::applicationName(), why)};
}

StartOptions StartOptions::noDisplay()
{
    return {NoDisplay,
            {},
            {},
            tr("%1: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set); "
               "run it from a desktop session.")
                .arg(QCoreApplication::applicationName())};
}

QString StartOptions::devicesHelp(const std::array<QString, 2> &devices,
                                  const std::array<Origin, 2> &origins, const QString &settingsFile)
{
    const QString from[] = {tr("built in"), tr("remembered"), tr("option")};
    return tr("\nThis run: COM1 is %1 (%2), COM2 is %3 (%4).\nTo choose another device, "
              "right-click a port's panel in the window or press F4 there; the choice is "
              "remembered in %5. An option holds for one run.\n")
        .arg(devices[0], from[origins[0]], devices[1], from[origins[1]], settingsFile);
}

StartOptions StartOptions::parse(const QStringList &arguments, const QString &com1Default,
                                 const QString &com2Default)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Drives two serial ports, COM1 and COM2, and switches the line speed of a module "
           "attached to each. %1")
            .arg(namesHelp()));
    // Our own, not Qt's: Qt's help would also offer Qt's options, which the program does not take.
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        tr("Shows this help."));
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           tr("Shows the program's version."));
    // Not translated: Qt aligns the help's columns by characters, not by their width.
    const QString device = QStringLiteral("device");
    const QCommandLineOption com1Option(QStringLiteral("com1"),
                                        tr("The device of COM1, for this run only."), device);
    const QCommandLineOption com2Option(QStringLiteral("com2"),
                                        tr("The device of COM2, for this run only."), device);
    const QCommandLineOption listOption(
        QStringLiteral("list-ports"),
        tr("Lists the serial ports the system has, as the device menu names them."));
    parser.addOptions({helpOption, versionOption, listOption, com1Option, com2Option});

    if (!parser.parse(QStringList(QCoreApplication::applicationName()) + arguments))
        return refused(parser.errorText());
    if (parser.isSet(helpOption)) {
        // With the devices of the run that the other options ask for.
        QStringList rest = arguments;
        rest.removeAll(QStringLiteral("-h"));
        rest.removeAll(QStringLiteral("--help"));
        StartOptions help = parse(rest, com1Default, com2Default);
        if (help.outcome != Run)
            help = parse({}, com1Default, com2Default);
        help.outcome = ShowHelp;
        help.message = parser.helpText();
        return help;
    }
    if (parser.isSet(listOption))
        return {ListPorts, {}, {}, {}};
    if (parser.isSet(versionOption)) {
        return {ShowVersion,
                {},
                {},
                QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion()
                    + u'\n'};
    }
    if (!parser.positionalArguments().isEmpty())
        return refused(tr("unexpected argument '%1'.").arg(parser.positionalArguments().first()));

    StartOptions options;
    options.com1Given = parser.isSet(com1Option);
    options.com2Given = parser.isSet(com2Option);
    const QString com1 = options.com1Given ? parser.value(com1Option) : com1Default;
    const QString com2 = options.com2Given ? parser.value(com2Option) : com2Default;
    for (const auto &[value, option] : {std::pair(com1, com1Option), std::pair(com2, com2Option)}) {
        if (value.isEmpty())
            return refused(tr("--%1 needs a device name.").arg(option.names().first()));
    }
    // An option is checked against the other option alone: the other port's default may give
    // way to the device the user chose for it last (DeviceChoice::atStart()).
    const Named first = nameDevice(com1, QStringLiteral("COM1"), QString(), QString());
    if (!first.refusal.isEmpty())
        return refused(first.refusal);
    const bool both = options.com1Given && options.com2Given;
    const Named second = nameDevice(com2, QStringLiteral("COM2"), QStringLiteral("COM1"),
                                    both ? first.device : QString());
    if (!second.refusal.isEmpty())
        return refused(second.refusal);
    options.com1 = first.device;
    options.com2 = second.device;
    return options;
}

StartOptions::Named StartOptions::nameDevice(const QString &value, const QString &portName,
                                             const QString &otherPortName,
                                             const QString &otherDevice)
{
    const std::optional<QString> name = deviceName(value);
    if (!name)
        return {{}, tr("'%1' is not a serial port. %2").arg(value, namesHelp())};
    if (!otherDevice.isEmpty() && deviceIdentity(*name) == deviceIdentity(otherDevice)) {
        // COM1 first, whichever port asks.
        const bool first = portName < otherPortName;
        return {{},
                tr("COM1 (%1) and COM2 (%2) are the same device; give each its own.")
                    .arg(first ? *name : otherDevice, first ? otherDevice : *name)};
    }
    return {*name, {}};
}
