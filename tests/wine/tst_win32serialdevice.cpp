// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

// The Windows device on a line, under Wine: COM1 and COM2 are the two ends of a null-modem pair
// of pseudo-terminals, whose modem lines a preload library gives and records.
#include "cpu_time.h"
#include "serial/failure.h"
#include "serial/received_text_decoder.h"
#include "serial/serial_port.h"
#include "serial/win32_serial_device.h"

#include <QFile>
#include <QtTest>

class TestWin32SerialDevice : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void bytesBothWays_data();
    void bytesBothWays();
    void speedChangeOnTheLine();
    void openFailures_data();
    void openFailures();
    // Last: the line goes away for good.
    void farEndGoneIsReportedWithoutSpinning();

private:
    SerialPort *port(const QString &name);
    QString receive(SerialPort *port, qsizetype size);

    SerialPort *m_com1 = nullptr;
    SerialPort *m_com2 = nullptr;
};

SerialPort *TestWin32SerialDevice::port(const QString &name)
{
    return new SerialPort(name, std::make_unique<Win32SerialDevice>(name), this);
}

// What the port receives until it has at least size characters, or a minute has passed. Each
// Input takes what it returns, so the texts are added up.
QString TestWin32SerialDevice::receive(SerialPort *port, qsizetype size)
{
    QString received;
    (void)QTest::qWaitFor(
        [&] {
            received += port->input();
            return received.size() >= size;
        },
        60000);
    return received;
}

void TestWin32SerialDevice::init()
{
    m_com1 = port("COM1");
    m_com2 = port("COM2");
    m_com1->setPortOpen(true);
    m_com2->setPortOpen(true);
}

void TestWin32SerialDevice::cleanup()
{
    delete m_com1;
    delete m_com2;
}

void TestWin32SerialDevice::bytesBothWays_data()
{
    QTest::addColumn<bool>("fromCom1");
    QTest::addColumn<QString>("text");

    QTest::newRow("COM1 to COM2, the send box's text") << true << "12345\r\n";
    QTest::newRow("COM2 to COM1, text in the code page")
        << false << QString::fromUtf8("grün 你好 \u0001\\");
    // Far more than the driver holds at once: Send returns before it has left, Read loses none.
    QString block;
    for (int i = 0; block.size() < 256 * 1024; ++i)
        block += QString::number(i) + u' ';
    QTest::newRow("COM1 to COM2, 256 KB") << true << block;
}

void TestWin32SerialDevice::bytesBothWays()
{
    QFETCH(bool, fromCom1);
    QFETCH(QString, text);
    SerialPort *from = fromCom1 ? m_com1 : m_com2;
    SerialPort *to = fromCom1 ? m_com2 : m_com1;

    // What Read shows of exactly the bytes Send puts on the line.
    const QByteArray bytes = QStringEncoder(QStringConverter::System).encode(text);
    const QString expected = ReceivedTextDecoder().decode(bytes, true);
    from->setOutput(text);
    QCOMPARE(receive(to, expected.size()), expected);
    QCOMPARE(from->input(), QString());
}

void TestWin32SerialDevice::speedChangeOnTheLine()
{
    m_com1->setRTSEnable(false);
    m_com1->setOutput(QString(QChar(0)));
    m_com1->setRTSEnable(true);
    m_com1->setSettings("115200,n,8,1");
    QCOMPARE(receive(m_com2, 1), QString::fromUtf8("␀"));
    QCOMPARE(m_com1->settings(), QStringLiteral("115200,n,8,1"));

    // On COM1's line, in this order: RTS off, the code byte, RTS on, the new speed.
    QFile record("Z:" + qEnvironmentVariable("MODEM_LINES_LOG"));
    QVERIFY(record.open(QIODevice::ReadOnly));
    QStringList steps;
    const QStringList wanted = {"rts 0", "write 00", "rts 1", "settings 115200"};
    for (const QByteArray &line : record.readAll().split('\n')) {
        const QString event = QString::fromUtf8(line).section(u' ', 2);
        if (wanted.contains(event) && (steps.isEmpty() || steps.last() != event))
            steps += event;
    }
    QCOMPARE(steps.mid(steps.lastIndexOf("rts 0")), wanted);
}

void TestWin32SerialDevice::openFailures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("number");

    QTest::newRow("no such port") << "COM3" << int(Failure::DeviceNotFound);
    QTest::newRow("held by another program") << "COM1" << int(Failure::PortInUse);
}

void TestWin32SerialDevice::openFailures()
{
    QFETCH(QString, name);
    QFETCH(int, number);

    SerialPort *other = port(name);
    try {
        other->setPortOpen(true);
        QFAIL("the port opened");
    } catch (const Failure &failure) {
        QCOMPARE(int(failure.number()), number);
        QVERIFY(failure.description().contains(name));
    }
    QVERIFY(!other->portOpen());

    // The holder goes on as before.
    m_com1->setOutput("still here");
    QCOMPARE(receive(m_com2, 10), QStringLiteral("still here"));
}

void TestWin32SerialDevice::farEndGoneIsReportedWithoutSpinning()
{
    // Wine starts a Unix program like a Windows one: end the null-modem pair.
    std::wstring command = L"Z:\\bin\\kill " + qEnvironmentVariable("LINE_PID").toStdWString();
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION kill {};
    QVERIFY(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &kill));
    WaitForSingleObject(kill.hProcess, 10000);
    CloseHandle(kill.hProcess);
    CloseHandle(kill.hThread);

    const double before = processCpuMs();
    QTest::qWait(1000); // a window in which a spinning wait would burn the whole second
    const double burnt = processCpuMs() - before;
    QVERIFY2(burnt < 300, qPrintable(QString::number(burnt)));

    // The failure names the port and closes it.
    try {
        m_com1->setOutput("after");
        m_com1->input();
        QFAIL("the line still works");
    } catch (const Failure &failure) {
        QCOMPARE(failure.number(), Failure::DeviceFailed);
        QVERIFY(failure.description().contains("COM1"));
    }
    QVERIFY(!m_com1->portOpen());
}

QTEST_GUILESS_MAIN(TestWin32SerialDevice)
#include "tst_win32serialdevice.moc"
