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
    void editsKeepTheText_data();
    void editsKeepTheText();
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
    QTest::newRow("lone surrogate at the end") << QStringLiteral("abc") + QChar(0xd800);
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
    // Nothing of the refused text is kept for the next one.
    box("Text1")->setText("12345");
    click("Command2");
    QCOMPARE(m_com1->written(), QByteArray("12345"));
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
        // Nor may a character that a text box shows as a break, as nothing, or as a change of
        // direction hide what it is.
        QTest::newRow("line separator, zero-width and direction characters")
            << QByteArray("A\xe2\x80\xa8"
                          "B\xef\xbb\xbf"
                          "C\xe2\x80\x8b"
                          "D\xe2\x80\xae"
                          "EF")
            << "A\\xE2\\x80\\xA8B\\xEF\\xBB\\xBFC\\xE2\\x80\\x8BD\\xE2\\x80\\xAEEF";
        QTest::newRow("soft hyphen, word joiner and a tag")
            << QByteArray("a\xc2\xad"
                          "b\xe2\x81\xa0"
                          "c\xf3\xa0\x81\x81")
            << "a\\xC2\\xADb\\xE2\\x81\\xA0c\\xF3\\xA0\\x81\\x81";
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
    QTest::addColumn<QString>("shown"); // line ends as LF or U+2028

    const QByteArray run = QByteArray(3 * TextBox::maxBlockLength + 5, 'x');
    const auto same = [](const QByteArray &bytes) {
        return QString::fromLatin1(bytes);
    };
    QTest::newRow("no line break") << QByteArray(300'000, 'a') << same(QByteArray(300'000, 'a'));
    const QByteArray between = "first\r\n" + run + "\r\n\r\nlast";
    QTest::newRow("between line breaks") << between << same(between).replace("\r\n", "\n");
    const QByteArray atCuts = QByteArray(TextBox::maxBlockLength, 'b') + "\n" + run;
    QTest::newRow("breaks at the cuts") << atCuts << same(atCuts);
    if (!utf8)
        return;
    // A character of two UTF-16 units where the line would be cut.
    QTest::newRow("character across a cut")
        << QByteArray(TextBox::maxBlockLength - 1, 'c') + "\xf0\x9f\x98\x80" + run
        << QString(TextBox::maxBlockLength - 1, 'c') + QString::fromUtf8("😀") + same(run);
    // Characters at which the document would start a paragraph of its own.
    QTest::newRow("paragraph separator") << "A\xe2\x80\xa9" + run << "A\\xE2\\x80\\xA9" + same(run);
    QTest::newRow("frame marks") << "\xef\xb7\x90\xef\xb7\x91" + run
                                 << "\\xEF\\xB7\\x90\\xEF\\xB7\\x91" + same(run);
    QTest::newRow("line separator inside a run") << run.left(1500) + "\xe2\x80\xa8"
            + run.mid(1500) << same(run.left(1500)) + "\\xE2\\x80\\xA8" + same(run.mid(1500));
}

// A long line is laid out in pieces the box can afford, but what it holds, what is copied from
// it and what is sent from it are the line as it came, without a break it did not carry.
void TestSendRead::longRunsStayWhole()
{
    QFETCH(QByteArray, received);
    QFETCH(QString, shown);

    m_com1->receive(received);
    click("Command1");
    TextBox *receiveBox = box("Text3");
    for (QTextBlock block = receiveBox->document()->begin(); block.isValid(); block = block.next())
        QVERIFY2(block.length() <= TextBox::maxBlockLength + 1, qPrintable(block.text().left(20)));
    const QString lines = QString(shown).replace(QChar::LineSeparator, u'\n');
    const QString crlf = QString(lines).replace("\n", "\r\n");
    QCOMPARE(receiveBox->text(), crlf);

    receiveBox->selectAll();
    receiveBox->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), lines);

    // Pasted at the end of a line of the send box (the menu's Paste, a drop) and sent: the line
    // is cut with what landed in it, and goes out as it was, then exactly what the box showed.
    const QString line(1000, u'p');
    TextBox *sendBox = box("Text1");
    sendBox->setText(line);
    sendBox->moveCursor(QTextCursor::End);
    sendBox->paste();
    for (QTextBlock block = sendBox->document()->begin(); block.isValid(); block = block.next())
        QVERIFY2(block.length() <= TextBox::maxBlockLength + 1, qPrintable(block.text().left(20)));
    click("Command2");
    QCOMPARE(m_com1->written(), (line + crlf).toUtf8());
}

void TestSendRead::editsKeepTheText_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<int>("anchor"); // positions in the box's document: a cut has two
    QTest::addColumn<int>("position");
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("expected");

    QString line; // 3,000 characters: pieces of 1024, 1024 and 952
    for (int i = 0; i < 300; ++i)
        line += QStringLiteral("%1").arg(i % 100, 10, 10, QChar('.'));
    const int end = TextBox::maxBlockLength; // the end of the first piece, and past its break:
    const int start = end + 1; // the start of the second
    const auto key = [](QKeySequence::StandardKey standard) {
        return QKeySequence::keyBindings(standard).first()[0];
    };
    const QKeyCombination paste = key(QKeySequence::Paste), undo = key(QKeySequence::Undo),
                          redo = key(QKeySequence::Redo), enter = Qt::Key_Return,
                          right = key(QKeySequence::MoveToNextChar),
                          remove = key(QKeySequence::Delete), backspace = Qt::Key_Backspace,
                          x = Qt::Key_X, y = Qt::Key_Y;
    const QString cut = line.left(end), rest = line.mid(end);

    QTest::newRow("paste, undo") << "12345\r\n"
                                 << line << 0 << 6 << QKeySequence(paste, undo) << "12345\r\n";
    QTest::newRow("paste, undo, redo") << "12345\r\n"
                                       << line << 0 << 6 << QKeySequence(paste, undo, redo) << line;
    QTest::newRow("paste with paragraph marks")
        << "" << QString::fromUtf16(u"A\u2029") + line + QString::fromUtf16(u"\uFDD1B") << 0 << 0
        << QKeySequence(paste) << "A\r\n" + line + "\r\nB";
    QTest::newRow("delete across a cut")
        << line << "" << 1000 << 1100 << QKeySequence(remove) << line.left(1000) + line.mid(1099);
    QTest::newRow("delete across a cut, undo")
        << line << "" << 1000 << 1100 << QKeySequence(remove, undo) << line;
    QTest::newRow("Backspace at a cut")
        << line << "" << start << start << QKeySequence(backspace) << cut.chopped(1) + rest;
    QTest::newRow("Backspace at a cut, undo")
        << line << "" << start << start << QKeySequence(backspace, undo) << line;
    QTest::newRow("Delete at a cut")
        << line << "" << end << end << QKeySequence(remove) << cut + rest.mid(1);
    QTest::newRow("across a cut in one step")
        << line << "" << end - 1 << end - 1 << QKeySequence(right, right, backspace)
        << cut + rest.mid(1);
    QTest::newRow("Enter at a cut")
        << line << "" << end << end << QKeySequence(enter) << cut + "\r\n" + rest;
    QTest::newRow("Enter at a cut, undo")
        << line << "" << end << end << QKeySequence(enter, undo) << line;
    QTest::newRow("Enter at a cut, undo, redo")
        << line << "" << start << start << QKeySequence(enter, undo, redo) << cut + "\r\n" + rest;
    // Text that lands in a line is cut with it: pasted at its end again and again, typed at the
    // end of a full piece, or two pieces joined by a deletion.
    const QString thousand = line.left(1000);
    QTest::newRow("pasted four times at a line's end")
        << thousand << thousand << 1000 << 1000 << QKeySequence(paste, paste, paste, paste)
        << thousand.repeated(5);
    QTest::newRow("pasted twice, undo") << thousand << thousand << 1000 << 1000
                                        << QKeySequence(paste, paste, undo) << thousand.repeated(2);
    QTest::newRow("typed at the end of a full piece")
        << cut << "" << end << end << QKeySequence(x, y) << cut + "xy";
    QTest::newRow("typed at the end of a full piece, undo, redo")
        << cut << "" << end << end << QKeySequence(x, y, undo, redo) << cut + "xy";
    QTest::newRow("pasted twice, undo, redo")
        << thousand << thousand << 1000 << 1000 << QKeySequence(paste, paste, undo, redo)
        << thousand.repeated(3);
    QTest::newRow("pasted over a cut") << line << thousand << 1000 << 1100 << QKeySequence(paste)
                                       << line.left(1000) + thousand + line.mid(1099);
    // The last piece emptied and typed again: a break typed there is a real one.
    QTest::newRow("piece retyped with a break")
        << line << "" << 2 * start << line.size() + 2 << QKeySequence(remove, x, enter, y)
        << line.left(2 * end) + "x\r\ny";
}

// Whatever the user types, deletes, pastes, undoes or redoes, Send and copy give exactly the
// text the box shows: a line break where one was typed, pasted or received, and nowhere else.
void TestSendRead::editsKeepTheText()
{
    QFETCH(QString, initial);
    QFETCH(QString, clipboard);
    QFETCH(int, anchor);
    QFETCH(int, position);
    QFETCH(QKeySequence, keys);
    QFETCH(QString, expected);

    TextBox *sendBox = box("Text1");
    sendBox->setText(initial);
    QGuiApplication::clipboard()->setText(clipboard);
    QTextCursor cursor = sendBox->textCursor();
    cursor.setPosition(anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    sendBox->setTextCursor(cursor);
    QTest::keySequence(sendBox, keys);
    for (QTextBlock block = sendBox->document()->begin(); block.isValid(); block = block.next())
        QVERIFY2(block.length() <= TextBox::maxBlockLength + 1, qPrintable(block.text().left(20)));

    click("Command2");
    QCOMPARE(QString::fromUtf8(m_com1->written()), expected);
    sendBox->selectAll();
    sendBox->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString(expected).replace("\r\n", "\n"));
}

QTEST_MAIN(TestSendRead)
#include "tst_sendread.moc"
