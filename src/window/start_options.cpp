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
    const QCommandLineOption com1Option(
        QStringLiteral("com1"), tr("The device of COM1 (default: %1).").arg(com1Default), device);
    const QCommandLineOption com2Option(
        QStringLiteral("com2"), tr("The device of COM2 (default: %1).").arg(com2Default), device);
    parser.addOptions({helpOption, versionOption, com1Option, com2Option});

    if (!parser.parse(QStringList(QCoreApplication::applicationName()) + arguments))
        return refused(parser.errorText());
    if (parser.isSet(helpOption))
        return {ShowHelp, {}, {}, parser.helpText()};
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
    const struct
    {
        const QCommandLineOption &option;
        const QString &fallback;
        QString &name;
    } ports[] = {{com1Option, com1Default, options.com1}, {com2Option, com2Default, options.com2}};
    for (const auto &port : ports) {
        const QString value = parser.isSet(port.option) ? parser.value(port.option) : port.fallback;
        if (value.isEmpty())
            return refused(tr("--%1 needs a device name.").arg(port.option.names().first()));
        const std::optional<QString> name = deviceName(value);
        if (!name)
            return refused(tr("'%1' is not a serial port. %2").arg(value, namesHelp()));
        port.name = *name;
    }
    if (deviceIdentity(options.com1) == deviceIdentity(options.com2)) {
        return refused(tr("COM1 (%1) and COM2 (%2) are the same device; give each its own.")
                           .arg(options.com1, options.com2));
    }
    return options;
}
