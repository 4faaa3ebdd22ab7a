// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/listing/system_port.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// The Linux listing, read from a sysfs tree made here as the kernel lays it out: what each port
// is called, which ports are left out, and an adapter found again under another node.
class TestSystemPorts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void listing_data();
    void listing();
    void foundAgain_data();
    void foundAgain();

private:
    // A folder of the tree with its attribute files.
    void folder(const QString &path, const QMap<QString, QString> &attributes = {});
    // A tty in /sys/class/tty, its device at the given path under /sys/devices.
    void tty(const QString &name, const QString &device, const QString &type = {});

    QTemporaryDir m_sysfs;
};

void TestSystemPorts::folder(const QString &path, const QMap<QString, QString> &attributes)
{
    QVERIFY(QDir().mkpath(m_sysfs.filePath(path)));
    for (auto it = attributes.begin(); it != attributes.end(); ++it) {
        QFile file(m_sysfs.filePath(path + u'/' + it.key()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(it.value().toUtf8() + '\n');
    }
}

void TestSystemPorts::tty(const QString &name, const QString &device, const QString &type)
{
    folder("class/tty/" + name,
           type.isEmpty() ? QMap<QString, QString>() : QMap<QString, QString> {{"type", type}});
    if (!device.isEmpty()) {
        folder("devices/" + device);
        QVERIFY(QFile::link(m_sysfs.filePath("devices/" + device),
                            m_sysfs.filePath("class/tty/" + name + "/device")));
    }
}

void TestSystemPorts::initTestCase()
{
    tty("tty1", {}); // a console: no hardware
    // UARTs of an ARM board's kind (never a node of this machine's own), the second a node the
    // kernel keeps with no chip behind it, as the 8250 driver keeps them.
    tty("ttyAMA0", "platform/9000000.pl011", "32");
    tty("ttyAMA1", "platform/9001000.pl011", "0");
    folder("devices/usb1/1-1",
           {{"idVendor", "0403"},
            {"idProduct", "6001"},
            {"manufacturer", "FTDI"},
            {"product", "FT232R USB UART"},
            {"serial", "A50285BI"}});
    folder("devices/usb1/1-1/1-1:1.0", {{"bInterfaceNumber", "00"}});
    tty("ttyUSB0", "usb1/1-1/1-1:1.0/ttyUSB0");
    // Twins without a serial number, and a second port of a two-port adapter.
    for (const QString socket : {"1-2", "1-3"}) {
        folder("devices/usb1/" + socket,
               {{"idVendor", "1a86"},
                {"idProduct", "7523"},
                {"manufacturer", "QinHeng"},
                {"product", "USB Serial"}});
        folder("devices/usb1/" + socket + '/' + socket + ":1.0", {{"bInterfaceNumber", "00"}});
    }
    tty("ttyUSB2", "usb1/1-2/1-2:1.0/ttyUSB2");
    tty("ttyUSB10", "usb1/1-3/1-3:1.0/ttyUSB10");
    folder("devices/usb1/1-4", {{"idVendor", "0403"}, {"idProduct", "6010"}});
    folder("devices/usb1/1-4/1-4:1.1", {{"bInterfaceNumber", "01"}});
    tty("ttyUSB3", "usb1/1-4/1-4:1.1/ttyUSB3");
    // A four-port adapter's ports on one interface.
    folder("devices/usb1/1-5",
           {{"idVendor", "110a"},
            {"idProduct", "1410"},
            {"serial", "TAKX1"},
            {"product", "UPort 1410"}});
    folder("devices/usb1/1-5/1-5:1.0", {{"bInterfaceNumber", "00"}});
    for (const int port : {0, 2}) {
        const QString name = QStringLiteral("ttyUSB%1").arg(5 + port);
        tty(name, "usb1/1-5/1-5:1.0/" + name);
        folder("devices/usb1/1-5/1-5:1.0/" + name, {{"port_number", QString::number(port)}});
    }
    // Cloned chips that share one serial number.
    for (const QString socket : {"1-6", "1-7"}) {
        folder("devices/usb1/" + socket,
               {{"idVendor", "0403"},
                {"idProduct", "6001"},
                {"manufacturer", "FTDI"},
                {"product", "FT232R USB UART"},
                {"serial", "KV4242"}});
        folder("devices/usb1/" + socket + '/' + socket + ":1.0", {{"bInterfaceNumber", "00"}});
        const QString name = socket == u"1-6" ? "ttyUSB11" : "ttyUSB12";
        tty(name, "usb1/" + socket + '/' + socket + ":1.0/" + name);
    }
}

void TestSystemPorts::listing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("identity");

    QTest::newRow("/dev/ttyAMA0") << "/dev/ttyAMA0 — UART"
                                  << "/dev/ttyAMA0";
    QTest::newRow("/dev/ttyUSB0") << "/dev/ttyUSB0 — FT232R USB UART (FTDI, serial A50285BI)"
                                  << "usb:0403:6001:serial=A50285BI:if00";
    QTest::newRow("/dev/ttyUSB2") << "/dev/ttyUSB2 — USB Serial (QinHeng, USB port 1-2)"
                                  << "usb:1a86:7523:port=1-2:if00";
    QTest::newRow("/dev/ttyUSB3")
        << "/dev/ttyUSB3 — USB serial adapter 0403:6010 (USB port 1-4, interface 1)"
        << "usb:0403:6010:port=1-4:if01";
    QTest::newRow("/dev/ttyUSB10") << "/dev/ttyUSB10 — USB Serial (QinHeng, USB port 1-3)"
                                   << "usb:1a86:7523:port=1-3:if00";
    QTest::newRow("/dev/ttyUSB5") << "/dev/ttyUSB5 — UPort 1410 (serial TAKX1)"
                                  << "usb:110a:1410:serial=TAKX1:if00";
    QTest::newRow("/dev/ttyUSB7") << "/dev/ttyUSB7 — UPort 1410 (serial TAKX1, port 3)"
                                  << "usb:110a:1410:serial=TAKX1:if00:port2";
    QTest::newRow("/dev/ttyUSB12")
        << "/dev/ttyUSB12 — FT232R USB UART (FTDI, serial KV4242, USB port 1-7)"
        << "usb:0403:6001:serial=KV4242:if00:at=1-7";
}

// Every port by its name and identity, in the order of the nodes' numbers; no console, no
// phantom UART.
void TestSystemPorts::listing()
{
    QFETCH(QString, name);
    QFETCH(QString, identity);

    const QList<SystemPort> ports = systemPorts(m_sysfs.path());
    QStringList devices;
    for (const SystemPort &port : ports)
        devices += port.device;
    QCOMPARE(
        devices,
        QStringList({"/dev/ttyAMA0", "/dev/ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB3", "/dev/ttyUSB5",
                     "/dev/ttyUSB7", "/dev/ttyUSB10", "/dev/ttyUSB11", "/dev/ttyUSB12"}));
    const SystemPort port = ports[devices.indexOf(QTest::currentDataTag())];
    QCOMPARE(port.name, name);
    QCOMPARE(port.identity, identity);
}

void TestSystemPorts::foundAgain_data()
{
    QTest::addColumn<QString>("identity");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("device"); // empty: not present; "A B": cannot be told apart

    const QString twin = "usb:0403:6001:serial=KV4242:if00";
    QTest::newRow("by serial number, renumbered") << "usb:0403:6001:serial=A50285BI:if00"
                                                  << ""
                                                  << "/dev/ttyUSB1";
    QTest::newRow("by USB socket, renumbered") << "usb:1a86:7523:port=1-2:if00"
                                               << ""
                                               << "/dev/ttyUSB4";
    QTest::newRow("a twin, by its socket") << twin + ":at=1-7"
                                           << ""
                                           << "/dev/ttyUSB12";
    QTest::newRow("a twin, chosen before the other came") << twin << ""
                                                          << "/dev/ttyUSB11 /dev/ttyUSB12";
    QTest::newRow("a twin, not in its socket") << twin + ":at=1-9"
                                               << ""
                                               << "";
    QTest::newRow("no serial number, in another socket") << "usb:0403:6010:port=1-9:if01"
                                                         << "USB serial adapter 0403:6010"
                                                         << "/dev/ttyUSB3";
    QTest::newRow("no serial number, in another socket, two of its kind")
        << "usb:1a86:7523:port=1-9:if00"
        << "USB Serial"
        << "/dev/ttyUSB4 /dev/ttyUSB10";
    QTest::newRow("no serial number, in another socket, another description")
        << "usb:0403:6010:port=1-9:if01"
        << "Dual RS232"
        << "";
    QTest::newRow("an adapter not plugged in") << "usb:067b:2303:port=1-9:if00"
                                               << ""
                                               << "";
    QTest::newRow("a UART, by its node") << "/dev/ttyAMA0"
                                         << ""
                                         << "/dev/ttyAMA0";
}

// Plugged back while its old node was still held, an adapter comes back under the next number.
void TestSystemPorts::foundAgain()
{
    QFETCH(QString, identity);
    QFETCH(QString, description);
    QFETCH(QString, device);

    for (const auto &[from, to] :
         {std::pair("ttyUSB0", "ttyUSB1"), std::pair("ttyUSB2", "ttyUSB4")}) {
        if (!QFile::exists(m_sysfs.filePath("class/tty/" + QString(from))))
            break; // renumbered for an earlier row
        QDir(m_sysfs.filePath("class/tty/" + QString(from))).removeRecursively();
        const QString socket = from == QLatin1String("ttyUSB0") ? "1-1" : "1-2";
        tty(to, "usb1/" + socket + '/' + socket + ":1.0/" + to);
    }
    const PortFound found = findPort(systemPorts(m_sysfs.path()), identity, description);
    QStringList devices;
    for (const SystemPort &port : found.port ? QList {*found.port} : found.alike)
        devices += port.device;
    QCOMPARE(devices.join(' '), device);
    if (found.port && identity.contains(":at="))
        QCOMPARE(found.port->identity, identity); // kept, as the twin may come back
}

QTEST_GUILESS_MAIN(TestSystemPorts)
#include "tst_systemports.moc"
