// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "default_devices.h"
#include "serial/listing/system_port.h"
#include "serial/serial_device.h"
#include "window/main_window.h"
#include "window/start_options.h"
#include "window/translations.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <QSettings>

int main(int argc, char *argv[])
{
    // Qt sees only the program's own name: the options are ours alone.
    int qtArgc = argc > 0 ? 1 : 0;
    QCoreApplication::setApplicationVersion(QStringLiteral(PROGRAM_VERSION));
    // The user's choices of device, in the user's own configuration folder. A file, on Windows
    // too: Windows' registry settings would make their key as soon as they are read, and
    // nothing is to appear until the user chooses.
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Korvane"),
                       QStringLiteral("korvane-speed-demo"));
    PortSystem system;
    system.settings = &settings;
    system.builtIn = {QString::fromUtf8(defaultCom1Device), QString::fromUtf8(defaultCom2Device)};
    StartOptions options;
    {
        // The options are read before there is a window, so that --help works without a display.
        QCoreApplication reading(qtArgc, argv);
        installTranslations(QLocale::system());
        options = StartOptions::parse(StartOptions::arguments(argc, argv),
                                      QString::fromUtf8(defaultCom1Device),
                                      QString::fromUtf8(defaultCom2Device));
        if (options.outcome == StartOptions::Run || options.outcome == StartOptions::ShowHelp)
            system.chosen = DeviceChoice::atStart(options, settings);
        if (options.outcome == StartOptions::Run && !StartOptions::hasDisplay())
            options = StartOptions::noDisplay();
        if (options.outcome == StartOptions::ListPorts) {
            for (const SystemPort &port : systemPorts())
                options.message += port.name + u'\n';
            if (options.message.isEmpty())
                options.message
                    = QCoreApplication::translate("StartOptions", "No serial ports found.");
        }
        if (options.outcome != StartOptions::Run)
            return options.show();
    }

    QApplication app(qtArgc, argv);
    installTranslations(QLocale::system());
    // Lets the desktop match the window with its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.korvane.speeddemo"));
    app.setWindowIcon(QIcon(QStringLiteral(":/packaging/korvane-speed-demo-64.png")));

    MainWindow window(SerialDevice::create(system.chosen[0].device),
                      SerialDevice::create(system.chosen[1].device), system);
    window.show();
    return app.exec();
}
