// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/listing/system_port.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <iterator>

namespace {

QString attribute(const QString &folder, const char *name)
{
    QFile file(folder + u'/' + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(4096)).trimmed();
}

// What the kernel calls the 8250 family's UART types (PORT_8250 = 1 ... in serial_core.h).
QString uartName(int type)
{
    static const char *const names[]
        = {nullptr,   "8250",  "16450",    "16550",  "16550A", "Cirrus", "16650",
           "16650V2", "16750", "Startech", "16C950", "16654",  "16850",  "RSA"};
    const QString uart = QCoreApplication::translate("SystemPort", "UART");
    if (type > 0 && type < int(std::size(names)))
        return QLatin1String(names[type]) + u' ' + uart;
    return uart;
}

struct UsbDevice
{
    QString folder; // the USB device's own: its name is the socket it sits in, "1-1.2"
    QString interface; // the adapter's interface of the tty, "00", for adapters with several
    // The tty's port on that interface, for the usb-serial adapters with several on one (Moxa
    // UPort, MCS7840...).
    QString port;
};

// The USB device a tty hangs from: the nearest folder above the tty's device with a vendor.
std::optional<UsbDevice> usbDeviceOf(const QString &device)
{
    UsbDevice usb;
    QString folder = QFileInfo(device).canonicalFilePath();
    usb.port = attribute(folder, "port_number");
    for (int up = 0; up < 4 && !folder.isEmpty(); ++up) {
        if (usb.interface.isEmpty())
            usb.interface = attribute(folder, "bInterfaceNumber");
        if (QFile::exists(folder + QLatin1String("/idVendor"))) {
            usb.folder = folder;
            return usb;
        }
        folder = QFileInfo(folder).path();
    }
    return std::nullopt;
}

// "FT232R USB UART (FTDI, serial A50285BI)", or with the USB socket where the adapter has no
// serial number: two of the same kind then differ by where they are plugged in.
void describeUsb(const UsbDevice &usb, SystemPort &port)
{
    const QString vendor = attribute(usb.folder, "idVendor");
    const QString model = attribute(usb.folder, "idProduct");
    const QString serial = attribute(usb.folder, "serial");
    const QString socket = QFileInfo(usb.folder).fileName();
    QString product = attribute(usb.folder, "product");
    if (product.isEmpty())
        product = QCoreApplication::translate("SystemPort", "USB serial adapter %1:%2")
                      .arg(vendor, model);
    QStringList details;
    if (const QString maker = attribute(usb.folder, "manufacturer"); !maker.isEmpty())
        details += maker;
    details += serial.isEmpty()
        ? QCoreApplication::translate("SystemPort", "USB port %1").arg(socket)
        : QCoreApplication::translate("SystemPort", "serial %1").arg(serial);
    if (!usb.interface.isEmpty() && usb.interface != QLatin1String("00"))
        details += QCoreApplication::translate("SystemPort", "interface %1")
                       .arg(usb.interface.toInt(nullptr, 16));
    const bool onePort = usb.port.isEmpty() || usb.port == QLatin1String("0");
    if (!onePort)
        details += QCoreApplication::translate("SystemPort", "port %1").arg(usb.port.toInt() + 1);
    port.name += QStringLiteral(" — %1 (%2)").arg(product, details.join(QStringLiteral(", ")));
    port.socket = socket;
    port.description = product;
    port.identity = QStringLiteral("usb:%1:%2:%3:if%4")
                        .arg(vendor, model,
                             serial.isEmpty() ? QStringLiteral("port=") + socket
                                              : QStringLiteral("serial=") + serial,
                             usb.interface);
    if (!onePort)
        port.identity += QStringLiteral(":port") + usb.port;
}

} // namespace

QList<SystemPort> listedPorts(const QString &sysfs)
{
    QList<SystemPort> ports;
    const QString classes = sysfs + QLatin1String("/class/tty");
    const QStringList ttys = QDir(classes).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &tty : ttys) {
        const QString folder = classes + u'/' + tty;
        const QString device = folder + QLatin1String("/device");
        // Consoles and pseudo-terminals have no hardware behind them.
        if (!QFileInfo(device).exists())
            continue;
        // A UART the kernel keeps a node for but found no chip at: type 0 (PORT_UNKNOWN).
        const QString type = attribute(folder, "type");
        if (type == QLatin1String("0"))
            continue;
        SystemPort port;
        port.device = QLatin1String("/dev/") + QString(tty).replace(u'!', u'/');
        port.name = port.device;
        port.identity = port.device;
        // A Bluetooth port hangs from its dongle, whose USB identity every such port shares.
        const bool bluetooth = tty.startsWith(QLatin1String("rfcomm"));
        if (const std::optional<UsbDevice> usb = bluetooth ? std::nullopt : usbDeviceOf(device))
            describeUsb(*usb, port);
        else if (!type.isEmpty())
            port.name += QStringLiteral(" — ") + uartName(type.toInt());
        ports.append(port);
    }
    return ports;
}
