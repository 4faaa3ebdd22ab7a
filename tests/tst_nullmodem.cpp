// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "pty_pair.h"
#include "serial/line_settings.h"
#include "serial/posix/posix_serial_device.h"
#include "window/main_window.h"
#include "window/text_box.h"

#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

// Send and Read through the real Linux serial device, on pseudo-terminals: a socat null-modem
// between COM1 and COM2, and single lines whose far end the test plays.
class TestNullModem : public QObject
{
    Q_OBJECT

private slots:
    void sendOnCom1ReadOnCom2();
    void tenMegabytesArriveWhileNobodyReads();
    void characterSplitAcrossReads();
    void megabyteSendArrivesWhole();
    void farEndGoneIsReportedWithoutSpinning();
    void everyByteIsShown();

private:
    static MainWindow *window(const QString &com1, const QString &com2)
    {
        return new MainWindow(std::make_unique<PosixSerialDevice>(com1),
                              std::make_unique<PosixSerialDevice>(com2));
    }
    static void click(MainWindow *window, const char *name)
    {
        window->findChild<QPushButton *>(name)->click();
    }
    // OPEN waits for the system away from the window's thread: until the status says open.
    static bool open(MainWindow *window, const char *command, const char *status = "Label6")
    {
        click(window, command);
        return QTest::qWaitFor(
            [&] { return window->findChild<QLabel *>(status)->text().startsWith(u"已打开"); });
    }
};

void TestNullModem::sendOnCom1ReadOnCom2()
{
    QTemporaryDir dir;
    QProcess socat;
    socat.start("socat",
                {"pty,raw,echo=0,link=" + dir.filePath("com1"),
                 "pty,raw,echo=0,link=" + dir.filePath("com2")});
    QVERIFY2(socat.waitForStarted(), "socat is needed for this test");
    QTRY_VERIFY(QFile::exists(dir.filePath("com1")) && QFile::exists(dir.filePath("com2")));

    std::unique_ptr<MainWindow> form(window(dir.filePath("com1"), dir.filePath("com2")));
    QVERIFY(open(form.get(), "Command8"));
    QVERIFY(open(form.get(), "Command21", "Label8"));
    click(form.get(), "Command2");

    QString received;
    const auto readOnCom2 = [&] {
        click(form.get(), "Command4");
        received += form->findChild<TextBox *>("Text4")->text();
        return received;
    };
    QTRY_COMPARE(readOnCom2(), QStringLiteral("12345\r\n"));

    form.reset();
    socat.terminate();
    socat.waitForFinished();
}

void TestNullModem::tenMegabytesArriveWhileNobodyReads()
{
    PtyPair line;
    PosixSerialDevice device(line.devicePath());
    QVERIFY(device.open(LineSettings {115200}));

    QByteArray sent(10 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator random(42);
    random.fillRange(reinterpret_cast<quint32 *>(sent.data()), sent.size() / 4);
    QVERIFY(line.writeFar(sent)); // the event loop turns, nothing reads

    QByteArray received = device.readAll();
    QTRY_VERIFY((received += device.readAll()).size() >= sent.size());
    QCOMPARE(received.size(), sent.size());
    QVERIFY(received == sent);
}

void TestNullModem::characterSplitAcrossReads()
{
    PtyPair line;
    std::unique_ptr<MainWindow> form(window(line.devicePath(), "/nonexistent"));
    auto *receiveBox = form->findChild<TextBox *>("Text3");
    QVERIFY(open(form.get(), "Command8"));

    // Each Read replaces the box, so collect what the Reads showed.
    QString shown;
    const auto read = [&] {
        click(form.get(), "Command1");
        return shown += receiveBox->text();
    };
    QVERIFY(line.writeFar("a\xe4\xb8"));
    QTRY_COMPARE(read(), QStringLiteral("a")); // the first two bytes of 中 wait in the decoder
    shown.clear();
    QVERIFY(line.writeFar("\xad"));
    QTRY_COMPARE(read(), QString::fromUtf8("中"));
}

void TestNullModem::megabyteSendArrivesWhole()
{
    PtyPair line;
    std::unique_ptr<MainWindow> form(window(line.devicePath(), "/nonexistent"));
    QVERIFY(open(form.get(), "Command8"));

    QString text;
    QRandomGenerator random(7);
    while (text.size() < 1024 * 1024) {
        text += QString(60, QChar(u'a' + random.bounded(26)));
        text += u'\n';
    }
    form->findChild<TextBox *>("Text1")->setText(text);
    click(form.get(), "Command2");

    const QByteArray expected = text.replace(u'\n', QStringLiteral("\r\n")).toUtf8();
    QCOMPARE(line.readFar(expected.size()), expected);
    QVERIFY(form->findChildren<QMessageBox *>().isEmpty());
}

void TestNullModem::farEndGoneIsReportedWithoutSpinning()
{
    auto line = std::make_unique<PtyPair>();
    const QString path = line->devicePath();
    std::unique_ptr<MainWindow> form(window(path, "/nonexistent"));
    QVERIFY(open(form.get(), "Command8"));
    line.reset(); // the far end hangs up

    const std::clock_t before = std::clock();
    QTest::qWait(1000); // a window in which a spinning notifier would burn the whole second
    const double cpuMs = 1000.0 * double(std::clock() - before) / CLOCKS_PER_SEC;
    QVERIFY2(cpuMs < 300, qPrintable(QString::number(cpuMs)));

    // Reported without a click, the failure has closed the port, and the panel says so.
    QMessageBox *box = nullptr;
    QTRY_VERIFY((box = form->findChild<QMessageBox *>()));
    QVERIFY2(box->text().contains("8020") && box->text().contains("COM1 (" + path + ")"),
             qPrintable(box->text()));
    delete box;
    QCOMPARE(form->findChild<QLabel *>("Label6")->text(), QStringLiteral("未打开"));
    QVERIFY(!form->findChild<QPushButton *>("Command10")->isEnabled());
    click(form.get(), "Command2"); // Send on the closed port: nothing, silently
    QVERIFY(!form->findChild<QMessageBox *>());

    click(form.get(), "Command8"); // the line is gone for good: a clear failure, still closed
    QTRY_VERIFY((box = form->findChild<QMessageBox *>()));
    QVERIFY(box->text().contains("COM1"));
    QCOMPARE(form->findChild<QLabel *>("Label6")->text(), QStringLiteral("未打开"));
}

// Every byte value from the far end shows in the receive box as something it can be told by:
// read back, the box gives the same 256 bytes, a line end standing for CR or LF.
void TestNullModem::everyByteIsShown()
{
    PtyPair line;
    std::unique_ptr<MainWindow> form(window(line.devicePath(), "/nonexistent"));
    QVERIFY(open(form.get(), "Command8"));
    QByteArray sent;
    for (int byte = 0; byte < 256; ++byte)
        sent += char(byte);
    QVERIFY(line.writeFar(sent));

    QString shown;
    const auto read = [&] {
        click(form.get(), "Command1");
        return shown += form->findChild<TextBox *>("Text3")->toPlainText();
    };
    QTRY_VERIFY(read().endsWith(QLatin1String("\\xFF")));

    QByteArray readBack;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const char16_t c = shown[i].unicode();
        if (c == u'\\' && shown.mid(i + 1, 1) == u"x") {
            readBack += char(shown.mid(i + 2, 2).toInt(nullptr, 16));
            i += 3;
        } else if (c == u'\\') {
            readBack += '\\';
            ++i; // the second of the pair
        } else if (c >= 0x2400 && c <= 0x241F) {
            readBack += char(c - 0x2400);
        } else {
            readBack += c == 0x2421 ? '\x7f' : char(c);
        }
    }
    sent[0x0d] = '\n'; // a line end in the box
    QCOMPARE(readBack.toHex(' '), sent.toHex(' '));
}

QTEST_MAIN(TestNullModem)
#include "tst_nullmodem.moc"
