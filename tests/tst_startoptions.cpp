// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "window/device_choice.h"
#include "window/start_options.h"

#include <QFile>
#include <QOperatingSystemVersion>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// The options the program is started with, parsed as the program parses them.
class TestStartOptions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void parse_data();
    void parse();
    void choicesAtStart_data();
    void choicesAtStart();

private:
    QTemporaryDir m_dir;
};

void TestStartOptions::initTestCase()
{
    // A terminal device, as a serial port is, and a link to it, as /dev/serial/by-id/...
    // links lead to /dev/ttyUSB0; and a file that is no device.
    QVERIFY(QFile::link("/dev/ptmx", m_dir.filePath("ttyUSB0")));
    QVERIFY(QFile::link(m_dir.filePath("ttyUSB0"), m_dir.filePath("by-id")));
    QVERIFY(QFile(m_dir.filePath("notes.txt")).open(QIODevice::WriteOnly));
}

void TestStartOptions::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("com1");
    QTest::addColumn<QString>("com2");
    QTest::addColumn<QString>("refusal"); // part of the message when refused

    const auto row
        = [](const char *name, const QStringList &arguments, int outcome, const QString &com1 = {},
             const QString &com2 = {}, const QString &refusal = {}) {
              QTest::newRow(name) << arguments << outcome << com1 << com2 << refusal;
          };
    const auto refuse
        = [&row](const char *name, const QStringList &arguments, const QString &refusal) {
              row(name, arguments, StartOptions::Refuse, {}, {}, refusal);
          };
    row("none: the defaults", {}, StartOptions::Run, "D1", "D2");
    row("help", {"--help"}, StartOptions::ShowHelp);
    row("version", {"-v"}, StartOptions::ShowVersion);
    refuse("unknown option", {"--baud", "9600"}, "baud");
    refuse("missing value", {"--com1"}, "--com1");
    refuse("empty value", {"--com2="}, "--com2");
    refuse("stray argument", {"COM3"}, "COM3");

    if (QOperatingSystemVersion::currentType() == QOperatingSystemVersion::Windows) {
        row("COM1 alone", {"--com1", "COM3"}, StartOptions::Run, "COM3", "D2");
        row("both, any letter case", {"--com1", "com3", "--com2=COM10"}, StartOptions::Run, "COM3",
            "COM10");
        row("device form as given", {"--com1", "\\\\.\\COM10", "--com2", "\\\\.\\CNCA0"},
            StartOptions::Run, "\\\\.\\COM10", "\\\\.\\CNCA0");
        refuse("the same number", {"--com1", "com12", "--com2", "\\\\.\\COM12"}, "COM12");
        refuse("no COM port", {"--com2", "/dev/ttyUSB0"}, "/dev/ttyUSB0");
        refuse("no number", {"--com1", "COM"}, "COM");
        refuse("COM0", {"--com1", "COM0"}, "COM0");
        return;
    }
    const QString device = m_dir.filePath("ttyUSB0");
    row("COM1 alone", {"--com1", device}, StartOptions::Run, device, "D2");
    row("both, a name in /dev", {"--com2", "ttyACM0", "--com1=" + device}, StartOptions::Run,
        device, "/dev/ttyACM0");
    refuse("one device twice", {"--com1", device, "--com2", device}, device);
    refuse("a link and its device", {"--com1", m_dir.filePath("by-id"), "--com2", device}, device);
    // Settled once the other's remembered device is known.
    row("the other's default", {"--com1", "D2"}, StartOptions::Run, "D2", "D2");
    refuse("a file that is no device", {"--com2", m_dir.filePath("notes.txt")}, "not a serial");
    refuse("a device that is no terminal", {"--com1", "/dev/null"}, "not a serial");
}

void TestStartOptions::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, outcome);

    const bool windows = QOperatingSystemVersion::currentType() == QOperatingSystemVersion::Windows;
    const QString d1 = windows ? "COM1" : "/dev/d1";
    const QString d2 = windows ? "COM2" : "/dev/d2";
    arguments.replaceInStrings(QRegularExpression("^D2$"), d2);
    const StartOptions options = StartOptions::parse(arguments, d1, d2);
    QCOMPARE(int(options.outcome), outcome);
    if (outcome == StartOptions::Run) {
        QFETCH(QString, com1);
        QFETCH(QString, com2);
        QCOMPARE(options.com1, com1 == "D1" ? d1 : com1 == "D2" ? d2 : com1);
        QCOMPARE(options.com2, com2 == "D2" ? d2 : com2);
    } else if (outcome == StartOptions::Refuse) {
        QFETCH(QString, refusal);
        QVERIFY2(options.message.contains(refusal == "D2" ? d2 : refusal),
                 qPrintable(options.message));
    } else {
        QVERIFY(options.message.contains(
            outcome == StartOptions::ShowHelp ? "--com1" : QCoreApplication::applicationName()));
    }
}

void TestStartOptions::choicesAtStart_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("settings"); // the file as the user's settings have it
    QTest::addColumn<QStringList>("devices"); // of COM1 and COM2, "A" and "B" as below

    const QByteArray keptA = "[COM1]\ndevice=A\nidentity=usb:0403:6001:serial=A50285BI:if00\n";
    QTest::newRow("nothing kept: the defaults")
        << QStringList() << QByteArray() << QStringList {"D1", "D2"};
    QTest::newRow("kept") << QStringList() << keptA << QStringList {"A", "D2"};
    QTest::newRow("an option wins")
        << QStringList {"--com1", "B"} << keptA << QStringList {"B", "D2"};
    // Kept by what it is: its old node may be another adapter's by now.
    QTest::newRow("kept, the other's option at its node")
        << QStringList {"--com2", "A"} << keptA << QStringList {"A", "A"};
    QTest::newRow("an option at the other's default, the other keeps another")
        << QStringList {"--com1", "D2"} << QByteArray("[COM2]\ndevice=B\n")
        << QStringList {"D2", "B"};
    QTest::newRow("an option at the other's default")
        << QStringList {"--com1", "D2"} << QByteArray() << QStringList {"refused"};
    QTest::newRow("malformed") << QStringList() << QByteArray("[COM1\ndevice=A\n")
                               << QStringList {"D1", "D2"};
    QTest::newRow("kept, no device")
        << QStringList() << QByteArray("[COM2]\ndevice=NOTES\n") << QStringList {"D1", "D2"};
    QTest::newRow("kept, both the same adapter")
        << QStringList()
        << keptA + "[COM2]\ndevice=B\nidentity=usb:0403:6001:serial=A50285BI:if00\n"
        << QStringList {"A", "D2"};
}

// What each port starts with: an option for this run, else what the user chose last, else the
// built-in default; a settings file that cannot be used is as if there were none.
void TestStartOptions::choicesAtStart()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, devices);

    const bool windows = QOperatingSystemVersion::currentType() == QOperatingSystemVersion::Windows;
    const QStringList names
        = {windows ? "COM1" : "/dev/d1", windows ? "COM2" : "/dev/d2",
           windows ? "COM7" : m_dir.filePath("ttyUSB0"), windows ? "COM8" : "/dev/ttyACM5",
           windows ? "LPT1" : m_dir.filePath("notes.txt")};
    const auto named = [&names](QString text) {
        const QStringList marks = {"D1", "D2", "A", "B", "NOTES"};
        for (int i = 0; i < marks.size(); ++i)
            text.replace(QRegularExpression("\\b" + marks[i] + "\\b"), names[i]);
        return text;
    };
    QFile file(m_dir.filePath("settings.conf"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(named(QString::fromLatin1(settings)).toUtf8());
    file.close();
    QSettings kept(file.fileName(), QSettings::IniFormat);
    StartOptions options = StartOptions::parse(
        named(arguments.join("\n")).split("\n", Qt::SkipEmptyParts), names[0], names[1]);
    const std::array<DeviceChoice, 2> choices = DeviceChoice::atStart(options, kept);
    if (options.outcome == StartOptions::Refuse)
        QVERIFY2(options.message.contains(names[1]), qPrintable(options.message));
    QCOMPARE(options.outcome == StartOptions::Refuse
                 ? QStringList {"refused"}
                 : QStringList({choices[0].device, choices[1].device}),
             named(devices.join("\n")).split("\n"));
}

QTEST_GUILESS_MAIN(TestStartOptions)
#include "tst_startoptions.moc"
