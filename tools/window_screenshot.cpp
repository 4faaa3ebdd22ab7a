// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

// Renders the real window offscreen into a PNG for the docs: COM1, on an FTDI adapter chosen in
// its device menu, opened and switched to 115200; with --failure the message box of an OPEN
// refused for permission, in the system's language
// (LANG=zh_CN.UTF-8 build/tools/window-screenshot --failure docs/failure-zh_CN.png); with
// --device-menu COM1's device menu open over the window, listing ports like a PC's.
#include "fake_serial_device.h"
#include "window/device_menu.h"
#include "window/main_window.h"
#include "window/translations.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTest>

namespace {

// The ports of a PC with two UARTs, an FTDI adapter and two identical CH340 adapters.
QList<SystemPort> samplePorts()
{
    return {{"/dev/ttyS0", "/dev/ttyS0 — 16550A UART", "/dev/ttyS0"},
            {"/dev/ttyS1", "/dev/ttyS1 — 16550A UART", "/dev/ttyS1"},
            {"/dev/ttyUSB0", "/dev/ttyUSB0 — FT232R USB UART (FTDI, serial A50285BI)",
             "usb:0403:6001:serial=A50285BI:if00"},
            {"/dev/ttyUSB1", "/dev/ttyUSB1 — USB Serial (QinHeng, USB port 1-2)",
             "usb:1a86:7523:port=1-2:if00"},
            {"/dev/ttyUSB2", "/dev/ttyUSB2 — USB Serial (QinHeng, USB port 1-3)",
             "usb:1a86:7523:port=1-3:if00"}};
}

void waitFor(const std::function<bool()> &done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

// The window with the menu drawn where it opened, as one picture.
bool saveWithMenu(MainWindow &window, const QString &output)
{
    QTest::keyClick(window.findChild<QPushButton *>(QStringLiteral("Command8")), Qt::Key_F4);
    DeviceMenu *menu = nullptr;
    waitFor([&] {
        menu = window.findChild<DeviceMenu *>();
        return menu && menu->isVisible() && menu->actions().size() > 8;
    });
    // The menu reaches beyond the window, as on a desktop: the picture takes both in.
    const QPixmap shown = window.grab();
    const QRect menuArea(window.mapFromGlobal(menu->pos()), menu->size());
    QPixmap picture(QRect(QPoint(), window.size()).united(menuArea).size()
                    * shown.devicePixelRatio());
    picture.setDevicePixelRatio(shown.devicePixelRatio());
    picture.fill(QColor(0x9e, 0xa7, 0xb0));
    QPainter painter(&picture);
    painter.drawPixmap(0, 0, shown);
    painter.drawPixmap(menuArea.topLeft(), menu->grab());
    painter.end();
    return picture.save(output);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installTranslations(QLocale::system());
    QStringList arguments = app.arguments().mid(1);
    const bool failure = arguments.removeAll(QStringLiteral("--failure")) > 0;
    const bool deviceMenu = arguments.removeAll(QStringLiteral("--device-menu")) > 0;
    const QString output = arguments.value(0, QStringLiteral("window.png"));

    auto com1 = std::make_unique<FakeSerialDevice>(QStringLiteral("/dev/ttyUSB0"));
    FakeSerialDevice *fake = com1.get();
    PortSystem system;
    system.list = samplePorts;
    system.builtIn = {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyS1")};
    system.chosen[0] = DeviceChoice::of(samplePorts()[2]);
    MainWindow window(std::move(com1), std::make_unique<FakeSerialDevice>("/dev/ttyS1"), system);
    window.show();
    if (deviceMenu) {
        window.activateWindow();
        waitFor([&window] { return window.isActiveWindow(); });
        return saveWithMenu(window, output) ? 0 : 1;
    }
    if (failure)
        fake->failNextWith(SerialDevice::Error::PermissionDenied);
    window.findChild<QPushButton *>(QStringLiteral("Command8"))->click();
    if (!failure) {
        // The adapter is looked for, and opened, in the event loop; then the speed change runs
        // there, until the new settings are shown.
        auto *status = window.findChild<QLabel *>(QStringLiteral("Label6"));
        waitFor([status] { return status->text().endsWith(QLatin1String("9600,n,8,1")); });
        window.findChild<QPushButton *>(QStringLiteral("Command10"))->click();
        waitFor([status] { return status->text().endsWith(QLatin1String("115200,n,8,1")); });
        return window.grab().save(output) ? 0 : 1;
    }

    QMessageBox *box = nullptr;
    waitFor([&] { return (box = window.findChild<QMessageBox *>()); });
    QCoreApplication::processEvents();
    return box && box->grab().save(output) ? 0 : 1;
}
