// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "fake_serial_device.h"
#include "window/main_window.h"
#include "window_test.h"

#include <QAccessible>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

// What a screen reader sees: names and roles of every control, the status lines' changing text, and
// the keyboard path through both panels.
class TestAccessibility : public WindowTest
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void namesAndRoles_data();
    void namesAndRoles();
    void statusChangesAreAnnounced();
    void keyboardPath();
    void speedChangeKeepsTheFocus_data();
    void speedChangeKeepsTheFocus();
};

void TestAccessibility::init()
{
    createWindow();
}

void TestAccessibility::cleanup()
{
    destroyWindow();
}

void TestAccessibility::namesAndRoles_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QAccessible::Role>("role");

    struct Row
    {
        const char *controls[2];
        const char *role;
        QAccessible::Role kind;
    };
    // clang-format off
    const Row rows[] = {
        {{"Command8", "Command21"}, "OPEN", QAccessible::Button},
        {{"Command9", "Command20"}, "CLOSE", QAccessible::Button},
        {{"Command10", "Command19"}, "115200", QAccessible::Button},
        {{"Command14", "Command15"}, "9600", QAccessible::Button},
        {{"Command2", "Command3"}, "Send", QAccessible::Button},
        {{"Command1", "Command4"}, "Read", QAccessible::Button},
        {{"Text1", "Text2"}, "send buffer", QAccessible::EditableText},
        {{"Text3", "Text4"}, "receive buffer", QAccessible::EditableText},
        {{"Label1", "Label3"}, "send buffer caption", QAccessible::StaticText},
        {{"Label6", "Label8"}, "status", QAccessible::StaticText},
    };
    // clang-format on
    for (int panel = 0; panel < 2; ++panel) {
        const QString port = panel == 0 ? "COM1" : "COM2";
        for (const Row &row : rows) {
            QTest::newRow(row.controls[panel])
                << row.controls[panel] << port + ' ' + row.role << row.kind;
        }
    }
}

void TestAccessibility::namesAndRoles()
{
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(QAccessible::Role, role);

    QAccessibleInterface *accessible
        = QAccessible::queryAccessibleInterface(m_window->findChild<QWidget *>(control));
    QVERIFY(accessible);
    QCOMPARE(accessible->text(QAccessible::Name), name);
    QCOMPARE(accessible->role(), role);
}

void TestAccessibility::statusChangesAreAnnounced()
{
    QAccessibleInterface *accessible
        = QAccessible::queryAccessibleInterface(m_window->findChild<QWidget *>("Label6"));
    QCOMPARE(accessible->text(QAccessible::Description), QStringLiteral("未打开"));
    click("Command8");
    QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("COM1 status"));
    QCOMPARE(accessible->text(QAccessible::Description), QStringLiteral("已打开  9600,n,8,1"));
}

// The designed tab indexes 0-31, less the group boxes and labels, which take no focus.
void TestAccessibility::keyboardPath()
{
    const QStringList path
        = {"Command8",  "Command9",  "Command10", "Command11", "Command12", "Command13",
           "Command14", "Command15", "Command16", "Command17", "Command18", "Command19",
           "Command20", "Command21", "Text1",     "Text3",     "Command2",  "Command1",
           "Text2",     "Text4",     "Command3",  "Command4",  "Command8"};
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QCOMPARE(QApplication::focusWidget()->objectName(), path.first());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space); // OPEN, from the keyboard
    QCOMPARE(m_com1->log(), QStringList {"open"});
    click("Command21");

    // Both ports are open, so Tab visits every control of both panels.
    QStringList visited = {QApplication::focusWidget()->objectName()};
    for (int step = 1; step < path.size(); ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget()->objectName());
    }
    QCOMPARE(visited, path);
}

void TestAccessibility::speedChangeKeepsTheFocus_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("failsMidway");
    QTest::addColumn<QString>("focusAfter");

    QTest::newRow("COM1 115200") << 1 << "Command10" << false << "Command10";
    QTest::newRow("COM2 115200") << 2 << "Command19" << false << "Command19";
    QTest::newRow("COM2 9600") << 2 << "Command15" << false << "Command15";
    // The failure closes the port and disables the speed commands; OPEN takes the focus over.
    QTest::newRow("COM1 device fails midway") << 1 << "Command14" << true << "Command8";
}

// Space on a speed command, and Space again while and after it runs: the keyboard never acts on
// the other port by surprise.
void TestAccessibility::speedChangeKeepsTheFocus()
{
    QFETCH(int, port);
    QFETCH(QString, command);
    QFETCH(bool, failsMidway);
    QFETCH(QString, focusAfter);
    FakeSerialDevice *own = port == 1 ? m_com1 : m_com2;
    FakeSerialDevice *other = port == 1 ? m_com2 : m_com1;

    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    click("Command8");
    click("Command21");
    const QStringList otherBefore = other->log();
    m_window->findChild<QWidget *>(command)->setFocus();

    QTimer::singleShot(150, this, [&] {
        if (failsMidway)
            own->breakDown();
        else
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space); // held off: ignored
    });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    // The change runs in the event loop until its new settings, or its failure, come.
    QTRY_VERIFY(own->log().last().startsWith("settings") || m_window->findChild<QMessageBox *>());
    if (auto *box = m_window->findChild<QMessageBox *>())
        box->close();
    QCOMPARE(m_window->focusWidget()->objectName(), focusAfter);

    m_window->activateWindow(); // the offscreen platform does not hand activation back
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QTRY_VERIFY(own->log().last().startsWith("settings") || failsMidway);
    QCOMPARE(other->log(), otherBefore);
    QCOMPARE(own->log().filter("rts off").size(), failsMidway ? 1 : 2);
    if (failsMidway)
        QCOMPARE(status(port == 1 ? "Label6" : "Label8"), QStringLiteral("已打开  9600,n,8,1"));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
