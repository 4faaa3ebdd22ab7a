// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "fake_serial_device.h"
#include "window/main_window.h"
#include "window/text_box.h"
#include "window_test.h"

#include <QClipboard>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBlock>
#include <QtTest>

// Send and Read through the window's buttons on recording fake devices.
class TestSendRead : public WindowTest
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sendsTheWholeText_data();
    void sendsTheWholeText();
    void sendingTwiceSendsTwice();
    void textWithoutBytesIsRefused_data();
    void textWithoutBytesIsRefused();
    void readReplacesTheReceiveBox_data();
    void readReplacesTheReceiveBox();
    void secondReadShowsOnlyWhatCameAfter();
    void closedPortLeavesEverythingAlone();
    void otherPanelIsUntouched();
    void deviceFailureClosesThePort_data();
    void deviceFailureClosesThePort();
    void longRunsStayWhole_data();
    void longRunsStayWhole();
};

namespace {

// Text crosses the line in the system's 8-bit encoding: UTF-8 on Linux, the ANSI code page on
// Windows. Rows about multi-byte characters are given for UTF-8 and for code page 936.
const QByteArray middle = QStringEncoder(QStringConverter::System).encode(u"中");
const bool utf8 = middle == "\xe4\xb8\xad";
const bool gbk = middle == "\xd6\xd0";

} // namespace

void TestSendRead::init()
{
    createWindow();
    click("Command8");
}

void TestSendRead::cleanup()
{
    destroyWindow();
}

void TestSendRead::sendsTheWholeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("initial text") << "12345\r\n" << QByteArray("31 32 33 34 35 0d 0a");
    QTest::newRow("bare LF goes out as CR LF") << "a\nb" << QByteArray("61 0d 0a 62");
    QTest::newRow("speed codes are one byte each")
        << QString::fromUtf16(u"\u0000\u0001\u0004", 3) << QByteArray("00 01 04");
    QTest::newRow("the code of 115200 alone") << QString(QChar(0)) << QByteArray("00");
    if (utf8 || gbk)
        QTest::newRow("text in the system's encoding")
            << QString::fromUtf8("中") << middle.toHex(' ');
    QTest::newRow("empty box sends nothing") << "" << QByteArray();
}

void TestSendRead::sendsTheWholeText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, line);

    box("Text1")->setText(text);
    const QString before = box("Text1")->text();
    click("Command2");
    QCOMPARE(m_com1->written().toHex(' '), line);
    QCOMPARE(m_com1->log().filter("write").size(), line.isEmpty() ? 0 : 1);
    QCOMPARE(box("Text1")->text(), before); // the box keeps its text
    QVERIFY(m_window->findChildren<QMessageBox *>().isEmpty());
}

void TestSendRead::sendingTwiceSendsTwice()
{
    click("Command2");
    click("Command2");
    QCOMPARE(m_com1->written(), QByteArray("12345\r\n12345\r\n"));
    QCOMPARE(box("Text1")->text(), QStringLiteral("12345\r\n"));
}

void TestSendRead::textWithoutBytesIsRefused_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("lone surrogate") << QString(QChar(0xd800)) + QStringLiteral("abc");
    if (gbk)
        QTest::newRow("outside code page 936") << QString::fromUtf8("ok 😀");
}

void TestSendRead::textWithoutBytesIsRefused()
{
    QFETCH(QString, text);

    box("Text1")->setText(text);
    click("Command2");
    auto *message = m_window->findChild<QMessageBox *>();
    QVERIFY(message);
    QVERIFY2(message->text().contains("380") && message->text().contains("COM1"),
             qPrintable(message->text()));
    message->close();
    QCOMPARE(m_com1->written(), QByteArray());
    QVERIFY(m_com1->isOpen());
}

void TestSendRead::readReplacesTheReceiveBox_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QString>("shown");

    QTest::newRow("CR LF is one line break") << QByteArray("ab\r\ncd") << "ab\ncd";
    QTest::newRow("nothing received empties the box") << QByteArray() << "";
    QTest::newRow("speed code bytes") << QByteArray("\x01\x04", 2) << QString::fromUtf8("␁␄");
    // Received as text, an escape may not pass for the byte it shows.
    QTest::newRow("backslash doubled") << QByteArray("\\xE9 C:\\") << "\\\\xE9 C:\\\\";
    QTest::newRow("tab, escape and DEL")
        << QByteArray("a\tb\x1b[0m\x7f") << QString::fromUtf8("a\tb␛[0m␡");
    if (utf8 || gbk)
        QTest::newRow("multi-byte character") << middle << QString::fromUtf8("中");
    if (utf8) {
        QTest::newRow("NUL and bytes that are not UTF-8")
            << QByteArray("\x41\x00\x42\xe9\xff\x43", 6) << QString::fromUtf8("A␀B\\xE9\\xFFC");
        QTest::newRow("truncated character, then text")
            << QByteArray("\xe4\xb8z") << QString::fromUtf8("\\xE4\\xB8z");
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << "\\xED\\xA0\\x80";
        QTest::newRow("C1 control") << QByteArray("\xc2\x85") << "\\xC2\\x85";
        // Nor may a control picture received as text pass for a control byte.
        QTest::newRow("control picture received as text")
            << QByteArray("\xe2\x90\x80") << "\\xE2\\x90\\x80";
    }
    if (gbk) {
        QTest::newRow("lead byte, then a line end") << QByteArray("\xd6\r") << "\\xD6\n";
        QTest::newRow("lead byte, then a byte that trails nothing")
            << QByteArray("\x41\x00\xe9\x7f", 4) << QString::fromUtf8("A␀\\xE9␡");
    }
}

void TestSendRead::readReplacesTheReceiveBox()
{
    QFETCH(QByteArray, received);
    QFETCH(QString, shown);

    box("Text3")->setText("old text");
    m_com1->receive(received);
    click("Command1");
    QCOMPARE(box("Text3")->toPlainText(), shown);
}

void TestSendRead::secondReadShowsOnlyWhatCameAfter()
{
    m_com1->receive("first");
    click("Command1");
    QCOMPARE(box("Text3")->text(), QStringLiteral("first"));
    click("Command1");
    QCOMPARE(box("Text3")->text(), QString());

    // A character whose bytes arrive split between two Reads is shown whole by the second.
    if (!utf8 && !gbk)
        return;
    m_com1->receive("x" + middle.first(1));
    click("Command1");
    QCOMPARE(box("Text3")->text(), QStringLiteral("x"));
    m_com1->receive(middle.sliced(1));
    click("Command1");
    QCOMPARE(box("Text3")->text(), QString::fromUtf8("中"));
}

void TestSendRead::closedPortLeavesEverythingAlone()
{
    click("Command9");
    const QStringList before = m_com1->log();
    box("Text3")->setText("kept");
    click("Command2");
    click("Command1");
    QCOMPARE(m_com1->log(), before);
    QCOMPARE(box("Text1")->text(), QStringLiteral("12345\r\n"));
    QCOMPARE(box("Text3")->text(), QStringLiteral("kept"));
    QVERIFY(m_window->findChildren<QMessageBox *>().isEmpty());
}

void TestSendRead::otherPanelIsUntouched()
{
    click("Command21");
    box("Text4")->setText("COM2's own");
    m_com2->receive("for COM2");
    const QStringList com2Before = m_com2->log();
    const QString status1 = m_window->findChild<QLabel *>("Label6")->text();

    m_com1->receive("for COM1");
    click("Command2");
    click("Command1");
    QCOMPARE(m_com2->log(), com2Before);
    QCOMPARE(box("Text4")->text(), QStringLiteral("COM2's own"));
    QCOMPARE(m_window->findChild<QLabel *>("Label6")->text(), status1);
    QVERIFY(m_window->findChild<QPushButton *>("Command10")->isEnabled());
}

void TestSendRead::deviceFailureClosesThePort_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("readAfterReopening");

    // Read hands out what came before the failure, then reports it; Send reports it at once and
    // what came before waits for the next Read.
    QTest::newRow("Send") << "Command2"
                          << "last words";
    QTest::newRow("Read") << "Command1"
                          << "";
}

void TestSendRead::deviceFailureClosesThePort()
{
    QFETCH(QString, command);
    QFETCH(QString, readAfterReopening);

    box("Text3")->setText("kept");
    m_com1->receive("last words");
    m_com1->breakDown();
    click(command);
    if (command == u"Command1") {
        QCOMPARE(box("Text3")->text(), QStringLiteral("last words"));
        click(command);
    }

    auto *message = m_window->findChild<QMessageBox *>();
    QVERIFY(message);
    QVERIFY2(message->text().contains("8020") && message->text().contains("COM1"),
             qPrintable(message->text()));
    message->close();
    QCOMPARE(box("Text1")->text(), QStringLiteral("12345\r\n"));
    QVERIFY(!m_com1->isOpen());
    QCOMPARE(status("Label6"), QStringLiteral("未打开"));
    QVERIFY(!button("Command10")->isEnabled());

    click("Command8"); // OPEN brings the port back
    QCOMPARE(status("Label6"), QStringLiteral("已打开  9600,n,8,1"));
    click("Command1");
    QCOMPARE(box("Text3")->text(), readAfterReopening);
    click("Command2");
    QCOMPARE(m_com1->written(), QByteArray("12345\r\n"));
}

void TestSendRead::longRunsStayWhole_data()
{
    QTest::addColumn<QByteArray>("received");

    const QByteArray run = QByteArray(3 * TextBox::maxBlockLength + 5, 'x');
    QTest::newRow("no line break") << QByteArray(300'000, 'a');
    QTest::newRow("between line breaks") << "first\r\n" + run + "\r\n\r\nlast";
    QTest::newRow("breaks at the cuts") << QByteArray(TextBox::maxBlockLength, 'b') + "\n" + run;
    if (utf8) // a character of two UTF-16 units where the line would be cut
        QTest::newRow("character across a cut")
            << QByteArray(TextBox::maxBlockLength - 1, 'c') + "\xf0\x9f\x98\x80" + run;
}

// A long line is laid out in pieces the box can afford, but what it holds, what is copied from
// it and what is sent from it are the line as it came, without a break it did not carry.
void TestSendRead::longRunsStayWhole()
{
    QFETCH(QByteArray, received);

    m_com1->receive(received);
    click("Command1");
    TextBox *receiveBox = box("Text3");
    for (QTextBlock block = receiveBox->document()->begin(); block.isValid(); block = block.next())
        QVERIFY2(block.length() <= TextBox::maxBlockLength + 1, qPrintable(block.text().left(20)));
    const QString shown = QString::fromUtf8(received);
    QString crlf = shown;
    crlf.replace("\r\n", "\n").replace('\n', "\r\n");
    QCOMPARE(receiveBox->text(), crlf);

    receiveBox->selectAll();
    receiveBox->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString(crlf).replace("\r\n", "\n"));

    // Pasted into the send box, over its text, and sent: exactly the bytes that came.
    box("Text1")->selectAll();
    box("Text1")->paste();
    click("Command2");
    QCOMPARE(m_com1->written(), crlf.toUtf8());
}

QTEST_MAIN(TestSendRead)
#include "tst_sendread.moc"
