// Renders the real window offscreen, COM1 opened and switched to 115200, into a PNG for the docs.
#include "fake_serial_device.h"
#include "window/main_window.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString output
        = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("window.png");

    MainWindow window(std::make_unique<FakeSerialDevice>(), std::make_unique<FakeSerialDevice>());
    window.show();
    window.findChild<QPushButton *>(QStringLiteral("Command8"))->click();
    window.findChild<QPushButton *>(QStringLiteral("Command10"))->click();

    return window.grab().save(output) ? 0 : 1;
}
