// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "default_devices.h"
#include "serial/serial_device.h"
#include "window/main_window.h"
#include "window/start_options.h"
#include "window/translations.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>

int main(int argc, char *argv[])
{
    // Qt sees only the program's own name: the options are ours alone.
    int qtArgc = argc > 0 ? 1 : 0;
    QCoreApplication::setApplicationVersion(QStringLiteral(PROGRAM_VERSION));
    StartOptions options;
    {
        // The options are read before there is a window, so that --help works without a display.
        QCoreApplication reading(qtArgc, argv);
        installTranslations(QLocale::system());
        options = StartOptions::parse(StartOptions::arguments(argc, argv),
                                      QString::fromUtf8(defaultCom1Device),
                                      QString::fromUtf8(defaultCom2Device));
        if (options.outcome != StartOptions::Run)
            return options.show();
    }

    QApplication app(qtArgc, argv);
    installTranslations(QLocale::system());
    // Lets the desktop match the window with its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.korvane.speeddemo"));
    app.setWindowIcon(QIcon(QStringLiteral(":/packaging/korvane-speed-demo-64.png")));

    MainWindow window(SerialDevice::create(options.com1), SerialDevice::create(options.com2));
    window.show();
    return app.exec();
}
