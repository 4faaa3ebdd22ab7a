// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "pty_pair.h"
#include "serial/line_settings.h"
#include "serial/posix/posix_serial_device.h"
#include "serial/serial_port.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

// The Linux device, on pseudo-terminals standing in for serial lines.
class TestPosixSerialDevice : public QObject
{
    Q_OBJECT

private slots:
    void openAndSettings_data();
    void openAndSettings();
    void rejectedSettingsLeaveTheLineAlone();
    void secondOpenerIsToldInUse();
    void lineLockedByAnotherProgramIsInUse();
    void missingDeviceIsNotFound();
    void outputReachesTheLine();
    void drainEndsWhenTheDriverSaysSent();

private:
    static std::unique_ptr<SerialPort> port(const QString &path, const QString &name = "COM1")
    {
        return std::make_unique<SerialPort>(name, std::make_unique<PosixSerialDevice>(path));
    }
};

void TestPosixSerialDevice::openAndSettings_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<speed_t>("speed");
    QTest::addColumn<tcflag_t>("size");
    QTest::addColumn<tcflag_t>("parity");

    // A pseudo-terminal keeps 8 data bits and no parity whatever it is told; those are checked
    // on the fake device.
    QTest::newRow("115200,n,8,1") << "115200,n,8,1" << speed_t(B115200) << tcflag_t(CS8)
                                  << tcflag_t(0);
    QTest::newRow("57600,n,8,1") << "57600,n,8,1" << speed_t(B57600) << tcflag_t(CS8)
                                 << tcflag_t(0);
    QTest::newRow("9600,n,8,1") << "9600,n,8,1" << speed_t(B9600) << tcflag_t(CS8) << tcflag_t(0);
}

void TestPosixSerialDevice::openAndSettings()
{
    QFETCH(QString, settings);
    QFETCH(speed_t, speed);
    QFETCH(tcflag_t, size);
    QFETCH(tcflag_t, parity);

    PtyPair line;
    QTemporaryDir dir;
    const QString record = dir.filePath("calls.log");
    qputenv("MODEM_LINES_LOG", QFile::encodeName(record));
    const auto com = port(line.devicePath());
    com->setPortOpen(true);
    QVERIFY(com->portOpen());

    termios attributes {};
    QCOMPARE(tcgetattr(line.nearEnd(), &attributes), 0);
    QCOMPARE(cfgetospeed(&attributes), speed_t(B9600));

    com->setSettings(settings);
    QCOMPARE(tcgetattr(line.nearEnd(), &attributes), 0);
    QCOMPARE(cfgetospeed(&attributes), speed);
    QCOMPARE(attributes.c_cflag & CSIZE, size);
    QCOMPARE(attributes.c_cflag & PARENB, parity);

    // Closed, the line keeps the speed the module was last told: what a driver still sends
    // after CLOSE leaves at it, not at the speed the line had before OPEN.
    com->setPortOpen(false);
    QCOMPARE(tcgetattr(line.nearEnd(), &attributes), 0);
    QCOMPARE(cfgetospeed(&attributes), speed);

    // One descriptor, opened once and closed once, and nothing of the line touched after that.
    const auto calls = [&record] {
        QFile file(record);
        QStringList made;
        for (const QByteArray &line :
             file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>())
            made += QString::fromLocal8Bit(line.mid(line.lastIndexOf(' ') + 1));
        return made;
    };
    QTRY_COMPARE(calls().filter("close").size(), 1);
    qunsetenv("MODEM_LINES_LOG");
    QCOMPARE(calls().filter("open").size(), 1);
    QCOMPARE(calls().mid(calls().size() - 4), QStringList({"0", "unlock", "close", ""}));
}

void TestPosixSerialDevice::rejectedSettingsLeaveTheLineAlone()
{
    PtyPair line; // keeps 8 data bits without parity, as some adapters do
    const auto com = port(line.devicePath());
    com->setPortOpen(true);
    com->setSettings("57600,n,8,1");
    try {
        com->setSettings("19200,e,7,1");
        QFAIL("a setting the device refused was taken as applied");
    } catch (const Failure &failure) {
        QCOMPARE(failure.number(), Failure::SettingsRejected);
        QVERIFY(failure.description().contains("19200,e,7,1"));
    }
    QCOMPARE(com->settings(), QStringLiteral("57600,n,8,1"));
    termios attributes {};
    QCOMPARE(tcgetattr(line.nearEnd(), &attributes), 0);
    QCOMPARE(cfgetospeed(&attributes), speed_t(B57600));

    // Stored while closed, the same settings are refused by the next OPEN, for the same reason.
    com->setPortOpen(false);
    com->setSettings("19200,e,7,1");
    try {
        com->setPortOpen(true);
        QFAIL("an OPEN with settings the device refused was taken as done");
    } catch (const Failure &failure) {
        QCOMPARE(failure.number(), Failure::SettingsRejected);
    }
    QVERIFY(!com->portOpen());
}

void TestPosixSerialDevice::secondOpenerIsToldInUse()
{
    PtyPair line;
    const auto first = port(line.devicePath());
    first->setPortOpen(true);
    const auto second = port(line.devicePath(), "COM2");
    try {
        second->setPortOpen(true);
        QFAIL("a port held by another opener was opened again");
    } catch (const Failure &failure) {
        QCOMPARE(failure.number(), Failure::PortInUse);
        QVERIFY(failure.description().contains(QStringLiteral("COM2 (%1)").arg(line.devicePath())));
    }
    QVERIFY(!second->portOpen());
    QVERIFY(first->portOpen());
    first->setOutput("still here");
    QCOMPARE(line.readFar(10), QByteArray("still here"));
}

// Another program holds the line as picocom -b 115200 does: an advisory lock, exclusive mode and
// its own speed. Finding that out must leave its line exactly as it was: the calls this program
// makes are recorded by the modem-lines preload library the test runs under.
void TestPosixSerialDevice::lineLockedByAnotherProgramIsInUse()
{
    PtyPair line;
    termios held {};
    QCOMPARE(tcgetattr(line.nearEnd(), &held), 0);
    cfsetspeed(&held, B115200);
    QCOMPARE(tcsetattr(line.nearEnd(), TCSANOW, &held), 0);
    QCOMPARE(tcgetattr(line.nearEnd(), &held), 0);
    QCOMPARE(ioctl(line.nearEnd(), TIOCEXCL), 0);
    QCOMPARE(flock(line.nearEnd(), LOCK_EX | LOCK_NB), 0);

    QTemporaryDir dir;
    const QString record = dir.filePath("calls.log");
    qputenv("MODEM_LINES_LOG", QFile::encodeName(record));
    const auto com = port(line.devicePath());
    try {
        com->setPortOpen(true);
        QFAIL("a line locked by another program was opened");
    } catch (const Failure &failure) {
        QCOMPARE(failure.number(), Failure::PortInUse);
    }
    qunsetenv("MODEM_LINES_LOG");
    QVERIFY(!com->portOpen());

    QFile calls(record);
    QVERIFY2(calls.open(QIODevice::ReadOnly), "nothing recorded: is the preload library in place?");
    const QString made = QString::fromLocal8Bit(calls.readAll());
    QVERIFY2(made.contains(" open") && !made.contains("settings") && !made.contains("exclusive"),
             qPrintable(made));
    termios after {};
    QCOMPARE(tcgetattr(line.nearEnd(), &after), 0);
    QVERIFY(memcmp(&after, &held, sizeof held) == 0);
    int exclusive = 0;
    QCOMPARE(ioctl(line.nearEnd(), TIOCGEXCL, &exclusive), 0);
    QCOMPARE(exclusive, 1);
}

void TestPosixSerialDevice::missingDeviceIsNotFound()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("ttyMissing");
    try {
        port(path)->setPortOpen(true);
        QFAIL("a missing device was opened");
    } catch (const Failure &failure) {
        QCOMPARE(failure.number(), Failure::DeviceNotFound);
        QVERIFY(failure.description().contains(path));
    }
}

void TestPosixSerialDevice::outputReachesTheLine()
{
    PtyPair line;
    const auto com = port(line.devicePath());
    com->setPortOpen(true);
    com->setOutput(QString(QChar(0)));
    com->setOutput("12345\r\n");
    QCOMPARE(line.readFar(8).toHex(' '), QByteArray("00 31 32 33 34 35 0d 0a"));
}

// A pseudo-terminal has no transmitter to ask about: the driver's answer to tcdrain() is what
// ends the drain, and it stands until more is written.
void TestPosixSerialDevice::drainEndsWhenTheDriverSaysSent()
{
    PtyPair line;
    // Nothing of the drain may ask the driver on this thread (a USB request on an adapter).
    QTemporaryDir dir;
    const QString record = dir.filePath("calls.log");
    qputenv("MODEM_LINES_LOG", QFile::encodeName(record));
    const auto askedHere = [&record] {
        QFile calls(record);
        return calls.open(QIODevice::ReadOnly) && calls.readAll().contains("on the main thread");
    };
    PosixSerialDevice device(line.devicePath());
    int sent = 0;
    device.setSentHandler([&sent] { ++sent; });
    QVERIFY(device.open(LineSettings()));
    QVERIFY(device.drain());
    for (int round = 1; round <= 2; ++round) {
        QVERIFY(device.write("12345"));
        QVERIFY(!device.drain());
        QTRY_COMPARE(sent, round);
        QVERIFY(device.drain());
        QCOMPARE(line.readFar(5), QByteArray("12345"));
    }
    // A wait started from inside the answer to the last one is a wait of its own, with its own
    // answer, however soon the thread of the last one ends.
    device.setSentHandler([&] {
        if (++sent < 200) {
            QVERIFY(device.write("x"));
            QVERIFY(!device.drain());
        }
    });
    QVERIFY(device.write("x"));
    QVERIFY(!device.drain());
    QTRY_COMPARE(sent, 200);
    QVERIFY(!askedHere());
    qunsetenv("MODEM_LINES_LOG");
    device.setSentHandler([&sent] { ++sent; });
    // A wait cut short by closing calls nobody.
    QVERIFY(device.write("6"));
    QVERIFY(!device.drain());
    device.close();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(sent, 200);

    // A wait in a driver call that does not return ends on its own: CLOSE does not wait for it,
    // and the line opens again meanwhile.
    QFile transmitter(dir.filePath("transmitter"));
    QVERIFY(transmitter.open(QIODevice::WriteOnly) && transmitter.write("stuck") == 5);
    transmitter.close();
    qputenv("MODEM_LINES_TRANSMITTER", QFile::encodeName(transmitter.fileName()));
    QVERIFY(device.open(LineSettings()));
    QVERIFY(device.write("8"));
    QVERIFY(!device.drain());
    device.close();
    QVERIFY(device.open(LineSettings()));
    transmitter.remove();
    qunsetenv("MODEM_LINES_TRANSMITTER");
    device.close();

    // A line that hangs up under the wait has not sent what it held: a failure, never a sent.
    int failures = 0;
    device.setFailureHandler([&failures] { ++failures; });
    QVERIFY(device.open(LineSettings()));
    QVERIFY(device.write("7"));
    line.closeFar();
    QVERIFY(!device.drain());
    QTRY_COMPARE(device.error(), SerialDevice::Error::Io);
    QTest::qWait(50);
    QCOMPARE(sent, 200);
    QVERIFY(!device.drain());
    QCOMPARE(failures, 1);
}

QTEST_MAIN(TestPosixSerialDevice)
#include "tst_posixserialdevice.moc"
