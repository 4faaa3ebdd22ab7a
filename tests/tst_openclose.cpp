// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "fake_serial_device.h"
#include "serial/serial_port.h"
#include "window/main_window.h"
#include "window/text_box.h"
#include "window_test.h"

#include <QClipboard>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

namespace {
const QString closed = QStringLiteral("未打开");
const QString open9600 = QStringLiteral("已打开  9600,n,8,1");
} // namespace

// OPEN, CLOSE and the status lines through the window's own buttons, on recording fake devices.
class TestOpenClose : public WindowTest
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openEnablesSpeedCommands();
    void openTwiceDoesNotReopen();
    void closeWhenClosedTouchesNothing();
    void statusRewritesBothLines_data();
    void statusRewritesBothLines();
    void lastSettingsSurviveCloseAndOpen();
    void failedOpenIsReportedAndProgramGoesOn_data();
    void failedOpenIsReportedAndProgramGoesOn();
    void deviceLostIsLetGoAtOnce_data();
    void deviceLostIsLetGoAtOnce();
    void openWaitsWhileTheDeviceIsClosing_data();
    void openWaitsWhileTheDeviceIsClosing();

private:
    bool speedCommandsEnabled(int panel);
};

void TestOpenClose::init()
{
    createWindow();
}

void TestOpenClose::cleanup()
{
    destroyWindow();
}

bool TestOpenClose::speedCommandsEnabled(int panel)
{
    const QStringList names = panel == 1
        ? QStringList {"Command10", "Command11", "Command12", "Command13", "Command14"}
        : QStringList {"Command19", "Command18", "Command17", "Command16", "Command15"};
    int enabled = 0;
    for (const QString &name : names)
        enabled += m_window->findChild<QPushButton *>(name)->isEnabled();
    if (enabled != 0 && enabled != names.size())
        qWarning("speed commands of panel %d disagree", panel);
    return enabled == names.size();
}

void TestOpenClose::openEnablesSpeedCommands()
{
    click("Command8");
    QVERIFY(m_com1->isOpen());
    QVERIFY(speedCommandsEnabled(1));
    QVERIFY(!speedCommandsEnabled(2));
    QCOMPARE(status("Label6"), open9600);
    QCOMPARE(status("Label8"), closed);

    click("Command9");
    QVERIFY(!m_com1->isOpen());
    QVERIFY(!speedCommandsEnabled(1));
    QCOMPARE(status("Label6"), closed);
    QCOMPARE(m_com1->log(), QStringList({"open", "close"}));
    QVERIFY(m_com2->log().isEmpty());
}

void TestOpenClose::openTwiceDoesNotReopen()
{
    click("Command21");
    click("Command21");
    QCOMPARE(m_com2->log(), QStringList({"open"}));
    QVERIFY(speedCommandsEnabled(2));
    QCOMPARE(status("Label8"), open9600);
}

void TestOpenClose::closeWhenClosedTouchesNothing()
{
    click("Command20");
    QVERIFY(m_com2->log().isEmpty());
    QVERIFY(!speedCommandsEnabled(2));
    QCOMPARE(status("Label8"), closed);
}

void TestOpenClose::statusRewritesBothLines_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("port1");
    QTest::addColumn<QString>("port2");

    QTest::newRow("OPEN on COM1") << "Command8" << open9600 << closed;
    QTest::newRow("CLOSE on COM1") << "Command9" << closed << closed;
    QTest::newRow("OPEN on COM2") << "Command21" << closed << open9600;
    QTest::newRow("CLOSE on COM2") << "Command20" << closed << closed;
}

void TestOpenClose::statusRewritesBothLines()
{
    QFETCH(QString, button);
    QFETCH(QString, port1);
    QFETCH(QString, port2);

    // Scribble on both lines: the click must put each back as its port stands.
    m_window->findChild<QLabel *>("Label6")->setText("stale");
    m_window->findChild<QLabel *>("Label8")->setText("stale");
    click(button);
    QCOMPARE(status("Label6"), port1);
    QCOMPARE(status("Label8"), port2);
}

void TestOpenClose::lastSettingsSurviveCloseAndOpen()
{
    click("Command8");
    m_window->findChild<SerialPort *>("MSComm1")->setSettings("57600,n,8,1");
    click("Command9");
    click("Command8");
    QCOMPARE(status("Label6"), QStringLiteral("已打开  57600,n,8,1"));
    QCOMPARE(m_com1->line().baudRate, 57600);
}

void TestOpenClose::failedOpenIsReportedAndProgramGoesOn_data()
{
    QTest::addColumn<SerialDevice::Error>("error");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("cause");

    QTest::newRow("missing device") << SerialDevice::Error::NotFound << 8002 << "does not exist";
    QTest::newRow("permission denied")
        << SerialDevice::Error::PermissionDenied << 8003 << "dialout";
    QTest::newRow("port in use") << SerialDevice::Error::InUse << 8005 << "in use";
    QTest::newRow("device failure") << SerialDevice::Error::Io << 8020 << "stopped working";
}

void TestOpenClose::failedOpenIsReportedAndProgramGoesOn()
{
    QFETCH(SerialDevice::Error, error);
    QFETCH(int, number);
    QFETCH(QString, cause);

    click("Command21"); // the other port is open and must stay so
    m_com1->failNextWith(error);
    click("Command8");

    auto *box = m_window->findChild<QMessageBox *>();
    QVERIFY(box);
    QVERIFY(box->isVisible());
    QVERIFY2(box->text().contains(QString::number(number)), qPrintable(box->text()));
    QVERIFY2(box->text().contains("COM1 (/dev/fake1)"), qPrintable(box->text()));
    QVERIFY2(box->text().contains(cause), qPrintable(box->text()));
    // Ctrl+C, with the focus on OK, copies the number and the whole text.
    QGuiApplication::clipboard()->clear();
    QTest::keySequence(box->button(QMessageBox::Ok), QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), box->text());
    QGuiApplication::clipboard()->clear(); // and with the focus in the text, nothing selected
    QTest::keySequence(box->findChild<QLabel *>("qt_msgbox_label"), QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), box->text());
    box->close();

    QVERIFY(!m_com1->isOpen());
    QVERIFY(!speedCommandsEnabled(1));
    QCOMPARE(status("Label6"), closed);
    QCOMPARE(status("Label8"), open9600);
    QVERIFY(speedCommandsEnabled(2));

    click("Command8"); // the cause has gone: a second try opens
    QCOMPARE(status("Label6"), open9600);
}

void TestOpenClose::deviceLostIsLetGoAtOnce_data()
{
    QTest::addColumn<QString>("when");

    QTest::newRow("idle") << "idle";
    QTest::newRow("during a speed change") << "speed change";
    // CLOSE waits for text still leaving, and the device goes as the driver says it has left:
    // the text has not been sent, whichever notice comes first.
    QTest::newRow("CLOSE waits, told sent, then lost") << "sent, lost";
    QTest::newRow("CLOSE waits, lost, then told sent") << "lost, sent";
}

// A device that fails on its own is closed and reported without waiting for a click, once; a
// speed change or a CLOSE that waits on it ends with it.
void TestOpenClose::deviceLostIsLetGoAtOnce()
{
    QFETCH(QString, when);

    click("Command8");
    click("Command21");
    m_com1->receive("before the loss");
    if (when == u"idle") {
        m_com1->unplug();
    } else if (when == u"speed change") {
        QTimer::singleShot(50, m_window, [this] { m_com1->unplug(); });
        click("Command10");
    } else {
        m_com1->setUnsent(10);
        click("Command9");
        QVERIFY(m_com1->isOpen()); // waiting for the text to leave
        const bool sentFirst = when.startsWith(u"sent");
        if (sentFirst)
            m_com1->setUnsent(0);
        m_com1->unplug();
        if (!sentFirst)
            m_com1->setUnsent(0);
    }
    QTRY_COMPARE(status("Label6"), closed);
    QVERIFY(!m_com1->isOpen());
    QVERIFY(!speedCommandsEnabled(1));
    QCOMPARE(status("Label8"), open9600);

    QTest::qWait(50); // a second report would come by now
    const QList<QMessageBox *> boxes = m_window->findChildren<QMessageBox *>();
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0]->text().contains("8020") && boxes[0]->text().contains("COM1 (/dev/fake1)"),
             qPrintable(boxes[0]->text()));
    boxes[0]->close();

    click("Command8"); // back under its name: OPEN opens, and Read has what came before
    QCOMPARE(status("Label6"), open9600);
    click("Command1");
    QCOMPARE(box("Text3")->text(), QStringLiteral("before the loss"));
}

void TestOpenClose::openWaitsWhileTheDeviceIsClosing_data()
{
    QTest::addColumn<QStringList>("clicks"); // after the first OPEN, before the device is ready
    QTest::addColumn<bool>("opens");

    QTest::newRow("OPEN") << QStringList() << true;
    QTest::newRow("OPEN twice") << QStringList {"Command8"} << true;
    QTest::newRow("OPEN, then CLOSE") << QStringList {"Command9"} << false;
    QTest::newRow("OPEN, CLOSE, OPEN") << QStringList {"Command9", "Command8"} << true;
}

// The system still closes the device from its last opening (its driver still sends what it
// held): OPEN opens it once it is free, and the window goes on meanwhile.
void TestOpenClose::openWaitsWhileTheDeviceIsClosing()
{
    QFETCH(QStringList, clicks);
    QFETCH(bool, opens);

    m_com1->holdLastClosing();
    click("Command8");
    for (const QString &name : clicks)
        click(name);
    click("Command21"); // the other panel meanwhile
    QCOMPARE(status("Label8"), open9600);
    QCOMPARE(status("Label6"), closed);
    QVERIFY(!speedCommandsEnabled(1));
    QVERIFY(!m_com1->isOpen());

    m_com1->letGo();
    if (opens)
        QTRY_COMPARE(status("Label6"), open9600);
    else
        QTest::qWait(50);
    QCOMPARE(m_com1->isOpen(), opens);
    QCOMPARE(speedCommandsEnabled(1), opens);
    QCOMPARE(m_com1->log().filter("open").filter(QRegularExpression("^open$")).size(),
             opens ? 1 : 0);
    QVERIFY(m_window->findChildren<QMessageBox *>().isEmpty());
}

QTEST_MAIN(TestOpenClose)
#include "tst_openclose.moc"
