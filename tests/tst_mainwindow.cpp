// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "fake_serial_device.h"
#include "window/main_window.h"
#include "window/text_box.h"
#include "window_test.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

// The window against its design: every control's kind, place, caption and initial state, the
// keyboard path, and the text boxes' line breaks.
class TestMainWindow : public WindowTest
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void window();
    void controls_data();
    void controls();
    void statusLinesAtStart();
    void lineBreaks_data();
    void lineBreaks();
    void typedLineBreakReadsBackAsCrLf();
};

void TestMainWindow::init()
{
    createWindow();
}

void TestMainWindow::cleanup()
{
    destroyWindow();
}

void TestMainWindow::window()
{
    QCOMPARE(m_window->objectName(), QStringLiteral("Form1"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Korvane Change Speed Demo V1.0"));
    QCOMPARE(m_window->size(), QSize(296, 460)); // 4440 x 6900 twips
    QCOMPARE(m_window->focusWidget(), m_window->findChild<QWidget *>("Command8"));
}

void TestMainWindow::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<bool>("enabled");

    // clang-format off
    QTest::newRow("Frame1") << "Frame1" << "Form1" << "QGroupBox" << "COM1" << QRect(8, 4, 281, 221) << true;
    QTest::newRow("Frame2") << "Frame2" << "Form1" << "QGroupBox" << "COM2" << QRect(8, 232, 281, 221) << true;

    struct Row { const char *names[2]; const char *kind; const char *texts[2]; QRect rect; bool enabled; };
    const Row rows[] = {
        {{"Command8", "Command21"}, "QPushButton", {"OPEN", "OPEN"}, {12, 16, 65, 21}, true},
        {{"Command9", "Command20"}, "QPushButton", {"CLOSE", "CLOSE"}, {12, 40, 65, 21}, true},
        {{"Command10", "Command19"}, "QPushButton", {"115200", "115200"}, {12, 64, 65, 21}, false},
        {{"Command11", "Command18"}, "QPushButton", {"57600", "57600"}, {12, 88, 65, 21}, false},
        {{"Command12", "Command17"}, "QPushButton", {"38400", "38400"}, {12, 112, 65, 21}, false},
        {{"Command13", "Command16"}, "QPushButton", {"19200", "19200"}, {12, 136, 65, 21}, false},
        {{"Command14", "Command15"}, "QPushButton", {"9600", "9600"}, {12, 160, 65, 21}, false},
        {{"Label1", "Label3"}, "QLabel", {"发送缓冲区", "发送缓冲区"}, {88, 20, 69, 13}, true},
        {{"Text1", "Text2"}, "TextBox", {"12345\r\n", "12345\r\n"}, {88, 40, 185, 53}, true},
        {{"Command2", "Command3"}, "QPushButton", {"Send", "Send"}, {208, 16, 65, 21}, true},
        {{"Label2", "Label4"}, "QLabel", {"接收缓冲区", "接收缓冲区"}, {88, 104, 69, 13}, true},
        {{"Text3", "Text4"}, "TextBox", {"", ""}, {88, 124, 185, 57}, true},
        {{"Command1", "Command4"}, "QPushButton", {"Read", "Read"}, {208, 100, 65, 21}, true},
        {{"Label5", "Label7"}, "QLabel", {"COM1状态", "COM2状态"}, {16, 196, 53, 13}, true},
        {{"Label6", "Label8"}, "StatusLine", {"未打开", "未打开"}, {88, 196, 181, 13}, true},
    };
    // clang-format on
    for (int panel = 0; panel < 2; ++panel) {
        for (const Row &row : rows) {
            QTest::newRow(row.names[panel])
                << row.names[panel] << (panel == 0 ? "Frame1" : "Frame2") << row.kind
                << QString::fromUtf8(row.texts[panel]) << row.rect << row.enabled;
        }
    }
}

void TestMainWindow::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(QRect, geometry);
    QFETCH(bool, enabled);

    const auto *control = m_window->findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->metaObject()->className(), kind);
    QCOMPARE(control->parentWidget()->objectName(), parent);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->isEnabled(), enabled);
    if (auto *button = qobject_cast<const QPushButton *>(control))
        QCOMPARE(button->text(), text);
    else if (auto *label = qobject_cast<const QLabel *>(control))
        QCOMPARE(label->text(), text);
    else if (auto *box = qobject_cast<const TextBox *>(control))
        QCOMPARE(box->text(), text);
    else if (auto *frame = qobject_cast<const QGroupBox *>(control))
        QCOMPARE(frame->title(), text);
}

void TestMainWindow::statusLinesAtStart()
{
    for (const char *name : {"Label6", "Label8"}) {
        const auto *status = m_window->findChild<QLabel *>(name);
        QCOMPARE(status->text(), QStringLiteral("未打开"));
        QCOMPARE(status->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    }
}

void TestMainWindow::lineBreaks_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("readBack");

    QTest::newRow("CR LF stays one break") << "a\r\nb\r\n"
                                           << "a\r\nb\r\n";
    QTest::newRow("bare LF becomes CR LF") << "a\nb"
                                           << "a\r\nb";
    QTest::newRow("lone CR becomes CR LF") << "a\rb"
                                           << "a\r\nb";
    QTest::newRow("CR CR LF is two breaks") << "a\r\r\nb"
                                            << "a\r\n\r\nb";
    QTest::newRow("LF CR is two breaks") << "a\n\rb"
                                         << "a\r\n\r\nb";
    QTest::newRow("run of lone CRs") << "\r\r\r"
                                     << "\r\n\r\n\r\n";
    QTest::newRow("CR LF CR LF is two breaks") << "a\r\n\r\nb"
                                               << "a\r\n\r\nb";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("no-break space kept")
        << QString::fromUtf16(u"a\u00a0b") << QString::fromUtf16(u"a\u00a0b");
    QTest::newRow("control bytes kept")
        << QString::fromUtf16(u"\u0001\u0004x") << QString::fromUtf16(u"\u0001\u0004x");
}

void TestMainWindow::lineBreaks()
{
    QFETCH(QString, written);
    QFETCH(QString, readBack);

    auto *box = m_window->findChild<TextBox *>("Text3");
    box->setText(written);
    QCOMPARE(box->text(), readBack);
}

void TestMainWindow::typedLineBreakReadsBackAsCrLf()
{
    auto *box = m_window->findChild<TextBox *>("Text1");
    box->setText(QString());
    QTest::keyClicks(box, "ab");
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClicks(box, "c");
    QTest::keyClick(box, Qt::Key_Return, Qt::ShiftModifier); // a line separator in Qt
    QCOMPARE(box->text(), QStringLiteral("ab\r\nc\r\n"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
