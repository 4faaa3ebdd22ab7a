// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

// The Windows device on a line, under Wine: COM1 and COM2 are the two ends of a null-modem pair
// of pseudo-terminals, whose modem lines a preload library gives and records.
#include "cpu_time.h"
#include "serial/failure.h"
#include "serial/line_settings.h"
#include "serial/received_text_decoder.h"
#include "serial/serial_port.h"
#include "serial/win32/win32_serial_device.h"

#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QtTest>

#include <memory>

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
    void drainWaitsUntilSent_data();
    void drainWaitsUntilSent();
    void closeEndsTheWait_data();
    void closeEndsTheWait();
    // Last: the line goes away for good.
    void farEndGoneIsReportedWithoutSpinning();

private:
    SerialPort *port(const QString &name);
    QString receive(SerialPort *port, qsizetype size);
    static QStringList record();
    static qsizetype recorded(const QString &what, qsizetype from);
    static qint64 writtenToLines();
    static void holdTransmitter(const QByteArray &mode);

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

// What the preload recorded on the lines, one event a line: "rts 0", "write 31 32 (900 bytes)".
QStringList TestWin32SerialDevice::record()
{
    QFile file("Z:" + qEnvironmentVariable("MODEM_LINES_LOG"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList events;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            events += QString::fromUtf8(line).section(u' ', 2);
    }
    return events;
}

// Where that event was first recorded from the index on, or -1.
qsizetype TestWin32SerialDevice::recorded(const QString &what, qsizetype from)
{
    return record().indexOf(what, from);
}

// How many bytes the devices have written to the lines since the suite started.
qint64 TestWin32SerialDevice::writtenToLines()
{
    qint64 count = 0;
    for (const QString &event : record()) {
        const QStringList words = event.split(u' ');
        if (words.first() != u"write")
            continue;
        count += words.last() == u"bytes)" ? words.at(words.size() - 2).mid(1).toLongLong()
                                           : words.size() - 1;
    }
    return count;
}

// "busy": a drain waits until the output is flushed; "stuck": whatever is done; empty: no wait.
void TestWin32SerialDevice::holdTransmitter(const QByteArray &mode)
{
    QFile control("Z:" + qEnvironmentVariable("MODEM_LINES_TRANSMITTER"));
    if (mode.isEmpty()) {
        control.remove();
        return;
    }
    QVERIFY(control.open(QIODevice::WriteOnly | QIODevice::Truncate));
    control.write(mode);
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
    holdTransmitter({});
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

void TestWin32SerialDevice::drainWaitsUntilSent_data()
{
    QTest::addColumn<QByteArray>("transmitter");
    QTest::addColumn<int>("size");

    // Far more than the driver takes at once: the device's own queue empties first.
    QTest::newRow("far end reading") << QByteArray() << 256 * 1024;
    // The driver has every byte at once and counts none, but its transmitter is still busy.
    QTest::newRow("transmitter busy after the queue") << QByteArray("busy") << 16;
}

void TestWin32SerialDevice::drainWaitsUntilSent()
{
    QFETCH(QByteArray, transmitter);
    QFETCH(int, size);
    m_com1->setPortOpen(false);
    Win32SerialDevice device("COM1");
    int sent = 0;
    device.setSentHandler([&sent] { ++sent; });
    QVERIFY(device.open(LineSettings()));
    const qsizetype start = record().size();
    holdTransmitter(transmitter);

    QVERIFY(device.write(QByteArray(size, 'x')));
    QVERIFY(!device.drain());
    QVERIFY(!device.drain()); // waits for the same answer
    if (!transmitter.isEmpty()) {
        QTRY_VERIFY(recorded("drain", start) >= 0);
        QCOMPARE(sent, 0);
        holdTransmitter({});
    }
    QTRY_COMPARE(sent, 1);
    QVERIFY(device.drain());
    // The driver was asked once it had every byte, and answered before the call.
    const QStringList events = record();
    qsizetype lastWrite = start;
    for (qsizetype i = start; i < events.size(); ++i) {
        if (events.at(i).startsWith(u"write"))
            lastWrite = i;
    }
    QVERIFY2(events.indexOf("drained", lastWrite) > lastWrite,
             qPrintable(events.mid(start).join(", ")));
    QCOMPARE(receive(m_com2, size), QString(size, u'x'));
    QCOMPARE(sent, 1);
}

void TestWin32SerialDevice::closeEndsTheWait_data()
{
    QTest::addColumn<QByteArray>("transmitter");
    QTest::addColumn<bool>("farEndReads");
    QTest::addColumn<bool>("held"); // by the flush, with a handle of its own, until it ends

    QTest::newRow("transmitter busy") << QByteArray("busy") << true << false;
    // CLOSE does not wait for it: the flush ends on its own.
    QTest::newRow("driver that ignores the cancel") << QByteArray("stuck") << true << true;
    // Last: it leaves text on its way to COM2.
    QTest::newRow("far end stopped reading") << QByteArray() << false << false;
}

void TestWin32SerialDevice::closeEndsTheWait()
{
    QFETCH(QByteArray, transmitter);
    QFETCH(bool, farEndReads);
    QFETCH(bool, held);
    m_com1->setPortOpen(false);
    HANDLE farEnd = INVALID_HANDLE_VALUE; // holds COM2 open and reads nothing
    if (!farEndReads) {
        m_com2->setPortOpen(false);
        farEnd = CreateFileW(L"\\\\.\\COM2", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, 0, nullptr);
        QVERIFY(farEnd != INVALID_HANDLE_VALUE);
    }
    const auto closeFarEnd = qScopeGuard([farEnd] {
        if (farEnd != INVALID_HANDLE_VALUE)
            CloseHandle(farEnd);
    });
    auto device = std::make_unique<Win32SerialDevice>("COM1");
    int sent = 0;
    device->setSentHandler([&sent] { ++sent; });
    QVERIFY(device->open(LineSettings()));
    const qsizetype start = record().size();
    const qint64 writtenBefore = writtenToLines();
    holdTransmitter(transmitter);

    const qint64 size = farEndReads ? 16 : 1024 * 1024;
    QVERIFY(device->write(QByteArray(size, 'y')));
    QVERIFY(!device->drain());
    qint64 unsent = 0;
    if (farEndReads) {
        QTRY_VERIFY(recorded("drain", start) >= 0);
    } else {
        // Once the line takes no more, the count is exactly what has not reached it.
        QTRY_COMPARE(device->bytesToWrite(), size - (writtenToLines() - writtenBefore));
        unsent = device->bytesToWrite();
        QVERIFY(unsent > 0);
        device->discardOutput();
    }
    QElapsedTimer clock;
    clock.start();
    device->close();
    const qint64 closingMs = clock.elapsed();
    qInfo("close() took %lld ms", closingMs);
    QVERIFY2(closingMs < 5000, qPrintable(QString::number(closingMs))); // no hang
    QCOMPARE(device->error(), SerialDevice::Error::None);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(sent, 0); // closing ends the wait without a call

    if (!farEndReads) {
        // What reached the line and what was thrown away make up all that was sent.
        QCOMPARE(writtenToLines() - writtenBefore + unsent, size);
        QVERIFY(recorded("flush output", start) >= 0);
    }
    if (held) {
        // The driver still holds the port, and lets it go once it ends the request.
        Win32SerialDevice again("COM1");
        QVERIFY(!again.open(LineSettings()));
        QCOMPARE(again.error(), SerialDevice::Error::InUse);
        holdTransmitter({});
        QTRY_VERIFY(again.open(LineSettings()));
    }
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
