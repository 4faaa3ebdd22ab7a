// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

// Renders the real window offscreen into a PNG for the docs: COM1 opened and switched to 115200,
// or with --failure the message box of an OPEN refused for permission, in the system's language
// (LANG=zh_CN.UTF-8 build/tools/window-screenshot --failure docs/failure-zh_CN.png).
#include "fake_serial_device.h"
#include "window/main_window.h"
#include "window/translations.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installTranslations(QLocale::system());
    QStringList arguments = app.arguments().mid(1);
    const bool failure = arguments.removeAll(QStringLiteral("--failure")) > 0;
    const QString output = arguments.value(0, QStringLiteral("window.png"));

    auto com1 = std::make_unique<FakeSerialDevice>(QStringLiteral("/dev/ttyS0"));
    FakeSerialDevice *fake = com1.get();
    MainWindow window(std::move(com1), std::make_unique<FakeSerialDevice>());
    window.show();
    if (failure)
        fake->failNextWith(SerialDevice::Error::PermissionDenied);
    window.findChild<QPushButton *>(QStringLiteral("Command8"))->click();
    if (!failure) {
        window.findChild<QPushButton *>(QStringLiteral("Command10"))->click();
        // The speed change runs in the event loop, until the new settings are shown.
        auto *status = window.findChild<QLabel *>(QStringLiteral("Label6"));
        while (!status->text().endsWith(QLatin1String("115200,n,8,1")))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        return window.grab().save(output) ? 0 : 1;
    }

    auto *box = window.findChild<QMessageBox *>();
    QCoreApplication::processEvents();
    return box && box->grab().save(output) ? 0 : 1;
}
