// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/serial_device.h"
#include "window/main_window.h"
#include "window/translations.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>

int main(int argc, char *argv[])
{
    // The program takes no options: Qt sees only the program's own name.
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);
    installTranslations(QLocale::system());
    // Lets the desktop match the window with its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.korvane.speeddemo"));
    app.setWindowIcon(QIcon(QStringLiteral(":/packaging/korvane-speed-demo-64.png")));

    MainWindow window(SerialDevice::create(QStringLiteral(COM1_DEVICE)),
                      SerialDevice::create(QStringLiteral(COM2_DEVICE)));
    window.show();
    return app.exec();
}
