// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "fake_serial_device.h"
#include "serial/serial_port.h"

#include <QtTest>

// The component's own rules, over a recording fake: the settings string, the open state, and a
// Failure with the port, the device and the cause for every refusal.
class TestSerialPort : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsClosedAt9600();
    void validSettings_data();
    void validSettings();
    void invalidSettingsChangeNothing_data();
    void invalidSettingsChangeNothing();
    void settingsRejectedByDeviceChangeNothing();
    void operationsOnClosedPort_data();
    void operationsOnClosedPort();
    void deviceFailures_data();
    void deviceFailures();
    void destructionClosesOpenPort();

private:
    SerialPort *m_port = nullptr;
    FakeSerialDevice *m_device = nullptr;
};

void TestSerialPort::init()
{
    auto device = std::make_unique<FakeSerialDevice>(QStringLiteral("/dev/fake1"));
    m_device = device.get();
    m_port = new SerialPort(QStringLiteral("COM1"), std::move(device));
}

void TestSerialPort::cleanup()
{
    delete m_port;
}

void TestSerialPort::startsClosedAt9600()
{
    QVERIFY(!m_port->portOpen());
    QCOMPARE(m_port->settings(), QStringLiteral("9600,n,8,1"));
    m_port->setPortOpen(true);
    QCOMPARE(m_device->line(), LineSettings());
    QVERIFY(m_device->requestToSend());
}

void TestSerialPort::validSettings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint32>("baudRate");
    QTest::addColumn<LineSettings::Parity>("parity");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<LineSettings::StopBits>("stopBits");

    QTest::newRow("115200,n,8,1") << "115200,n,8,1" << 115200 << LineSettings::Parity::None << 8
                                  << LineSettings::StopBits::One;
    QTest::newRow("upper-case parity")
        << "9600,E,7,2" << 9600 << LineSettings::Parity::Even << 7 << LineSettings::StopBits::Two;
    QTest::newRow("odd, 5 bits, 1.5 stop") << "19200,o,5,1.5" << 19200 << LineSettings::Parity::Odd
                                           << 5 << LineSettings::StopBits::OneAndHalf;
    QTest::newRow("mark") << "57600,m,6,1" << 57600 << LineSettings::Parity::Mark << 6
                          << LineSettings::StopBits::One;
    QTest::newRow("space") << "300,s,8,2" << 300 << LineSettings::Parity::Space << 8
                           << LineSettings::StopBits::Two;
}

void TestSerialPort::validSettings()
{
    QFETCH(QString, text);
    QFETCH(qint32, baudRate);
    QFETCH(LineSettings::Parity, parity);
    QFETCH(int, dataBits);
    QFETCH(LineSettings::StopBits, stopBits);
    const LineSettings expected {baudRate, parity, dataBits, stopBits};

    // Written while closed, it is taken at the next open; written while open, at once.
    m_port->setSettings(text);
    QCOMPARE(m_port->settings(), text);
    m_port->setPortOpen(true);
    QVERIFY(m_device->line() == expected);

    m_port->setSettings("9600,n,8,1");
    m_port->setSettings(text);
    QVERIFY(m_device->line() == expected);
    QCOMPARE(m_device->log().last(), QStringLiteral("settings %1").arg(baudRate));

    m_port->setPortOpen(false);
    m_port->setPortOpen(true);
    QCOMPARE(m_port->settings(), text);
    QVERIFY(m_device->line() == expected);
}

void TestSerialPort::invalidSettingsChangeNothing_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << "";
    QTest::newRow("speed only") << "9600";
    QTest::newRow("three fields") << "9600,n,8";
    QTest::newRow("five fields") << "9600,n,8,1,";
    QTest::newRow("unknown parity") << "9600,x,8,1";
    QTest::newRow("9 data bits") << "9600,n,9,1";
    QTest::newRow("4 data bits") << "9600,n,4,1";
    QTest::newRow("3 stop bits") << "9600,n,8,3";
    QTest::newRow("odd speed") << "12345,n,8,1";
    QTest::newRow("negative speed") << "-9600,n,8,1";
    QTest::newRow("spaces") << " 9600,n,8,1";
    QTest::newRow("full-width digits") << QString::fromUtf8("９６００,n,8,1");
    QTest::newRow("speed beyond 32 bits") << "99999999999,n,8,1";
}

void TestSerialPort::invalidSettingsChangeNothing()
{
    QFETCH(QString, text);

    m_port->setPortOpen(true);
    m_port->setSettings("57600,n,8,1");
    const QStringList before = m_device->log();
    try {
        m_port->setSettings(text);
        QFAIL("accepted");
    } catch (const Failure &failure) {
        QCOMPARE(failure.number(), Failure::InvalidSettings);
        QVERIFY(failure.description().contains("COM1"));
    }
    QCOMPARE(m_port->settings(), QStringLiteral("57600,n,8,1"));
    QCOMPARE(m_device->log(), before);
}

void TestSerialPort::settingsRejectedByDeviceChangeNothing()
{
    m_port->setPortOpen(true);
    m_device->failNextWith(SerialDevice::Error::Unsupported);
    QVERIFY_THROWS_EXCEPTION(Failure, m_port->setSettings("19200,n,8,1.5"));
    QCOMPARE(m_port->settings(), QStringLiteral("9600,n,8,1"));
    QCOMPARE(m_device->line().baudRate, 9600);
}

void TestSerialPort::operationsOnClosedPort_data()
{
    QTest::addColumn<std::function<void(SerialPort *)>>("operation");

    QTest::newRow("RTS") << std::function<void(SerialPort *)>(
        [](SerialPort *port) { port->setRTSEnable(true); });
    QTest::newRow("Output") << std::function<void(SerialPort *)>(
        [](SerialPort *port) { port->setOutput("x"); });
    QTest::newRow("Input") << std::function<void(SerialPort *)>(
        [](SerialPort *port) { port->input(); });
}

void TestSerialPort::operationsOnClosedPort()
{
    QFETCH(std::function<void(SerialPort *)>, operation);

    try {
        operation(m_port);
        QFAIL("accepted on a closed port");
    } catch (const Failure &failure) {
        QCOMPARE(failure.number(), Failure::PortNotOpen);
        QVERIFY(failure.description().contains("COM1 (/dev/fake1) is not open"));
    }
    QVERIFY(m_device->log().isEmpty());
}

void TestSerialPort::deviceFailures_data()
{
    QTest::addColumn<SerialDevice::Error>("error");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("cause");

    QTest::newRow("not found") << SerialDevice::Error::NotFound << 8002 << "does not exist";
    QTest::newRow("permission") << SerialDevice::Error::PermissionDenied << 8003 << "dialout";
    QTest::newRow("in use") << SerialDevice::Error::InUse << 8005 << "in use by another program";
    QTest::newRow("unsupported") << SerialDevice::Error::Unsupported << 8015 << "does not support";
    QTest::newRow("i/o") << SerialDevice::Error::Io << 8020 << "unplugged";
}

void TestSerialPort::deviceFailures()
{
    QFETCH(SerialDevice::Error, error);
    QFETCH(int, number);
    QFETCH(QString, cause);

    m_port->setPortOpen(true);
    m_device->failNextWith(error);
    try {
        m_port->setOutput("x");
        QFAIL("a failed write was taken as success");
    } catch (const Failure &failure) {
        QCOMPARE(int(failure.number()), number);
        QVERIFY(failure.description().startsWith("COM1 (/dev/fake1) could not send"));
        QVERIFY2(failure.description().contains(cause), qPrintable(failure.description()));
    }
    // A device that stopped working is closed; one that refused something goes on.
    QCOMPARE(m_port->portOpen(), number != Failure::DeviceFailed);
}

void TestSerialPort::destructionClosesOpenPort()
{
    m_port->setPortOpen(true);
    const auto journal = m_device->journal();
    delete m_port;
    m_port = nullptr;
    QCOMPARE(journal->last().what, QStringLiteral("close"));
}

QTEST_MAIN(TestSerialPort)
#include "tst_serialport.moc"
