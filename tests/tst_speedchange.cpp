// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "fake_serial_device.h"
#include "window/main_window.h"
#include "window_test.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

constexpr qint64 ms = 1000000; // in nanoseconds

const QStringList panel1Speeds = {"Command10", "Command11", "Command12", "Command13", "Command14"};
const QStringList panel2Speeds = {"Command19", "Command18", "Command17", "Command16", "Command15"};

// The events of one speed change, from RTS inactive on.
QList<FakeSerialDevice::Event> lastSequence(const FakeSerialDevice &device)
{
    const QList<FakeSerialDevice::Event> &events = device.events();
    for (qsizetype i = events.size() - 1; i >= 0; --i) {
        if (events[i].what == u"rts off")
            return events.mid(i);
    }
    return {};
}

} // namespace

// The speed change sequence through the window's buttons, on recording fake devices: order,
// code bytes, settings, timing lower bounds, and clicks served inside its waits.
class TestSpeedChange : public WindowTest
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sequence_data();
    void sequence();
    void codeByteLeavesAtOldSpeed_data();
    void codeByteLeavesAtOldSpeed();
    void samePanelIsHeldOffDuringTheWaits();
    void otherPanelRunsInsideTheWait();
    void openOrCloseInsideAWait_data();
    void openOrCloseInsideAWait();
    void closingTheWindowInsideTheWait();
    void sentTextLeavesFirst_data();
    void sentTextLeavesFirst();

private:
    void at(int msFromNow, const std::function<void()> &action)
    {
        QTimer::singleShot(msFromNow, this, action);
    }
};

void TestSpeedChange::init()
{
    createWindow();
    button("Command8")->click();
    button("Command21")->click();
}

void TestSpeedChange::cleanup()
{
    destroyWindow();
}

void TestSpeedChange::sequence_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("panel");
    QTest::addColumn<QString>("code");
    QTest::addColumn<qint32>("speed");

    const char *codes[] = {"00", "01", "02", "03", "04"};
    const qint32 speeds[] = {115200, 57600, 38400, 19200, 9600};
    for (int row = 0; row < 5; ++row) {
        QTest::addRow("%s on COM1", qPrintable(panel1Speeds[row]))
            << panel1Speeds[row] << 1 << codes[row] << speeds[row];
        QTest::addRow("%s on COM2", qPrintable(panel2Speeds[row]))
            << panel2Speeds[row] << 2 << codes[row] << speeds[row];
    }
}

void TestSpeedChange::sequence()
{
    QFETCH(QString, command);
    QFETCH(int, panel);
    QFETCH(QString, code);
    QFETCH(qint32, speed);
    FakeSerialDevice *own = panel == 1 ? m_com1 : m_com2;
    FakeSerialDevice *other = panel == 1 ? m_com2 : m_com1;
    const QStringList otherBefore = other->log();

    button(command)->click();

    // Choosing the current speed (9600) still runs the whole sequence.
    const QStringList expected
        = {"rts off", "write " + code, "rts on", QStringLiteral("settings %1").arg(speed)};
    QCOMPARE(own->log().mid(1), expected);
    QCOMPARE(other->log(), otherBefore);
    QVERIFY(own->requestToSend());

    const auto steps = lastSequence(*own);
    QCOMPARE(steps.size(), 4);
    QVERIFY(steps[1].atNs - steps[0].atNs >= 100 * ms); // code byte after RTS inactive
    QVERIFY(steps[2].atNs - steps[1].atNs >= 100 * ms); // RTS active after the code byte
    QVERIFY(steps[2].atNs - steps[0].atNs >= 200 * ms); // RTS inactive throughout
    QVERIFY(steps[3].atNs - steps[2].atNs >= 100 * ms); // new settings after RTS active
    QCOMPARE(steps[1].baudInForce, 9600);

    const QString settings = QStringLiteral("已打开  %1,n,8,1").arg(speed);
    QCOMPARE(status(panel == 1 ? "Label6" : "Label8"), settings);
    QCOMPARE(status(panel == 1 ? "Label8" : "Label6"), QStringLiteral("已打开  9600,n,8,1"));
    QVERIFY(button(command)->isEnabled());
}

void TestSpeedChange::codeByteLeavesAtOldSpeed_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("code");
    QTest::addColumn<qint32>("oldSpeed");

    QTest::newRow("9600 then 115200") << "Command14"
                                      << "Command10"
                                      << "write 00" << 9600;
    QTest::newRow("115200 then 9600") << "Command10"
                                      << "Command14"
                                      << "write 04" << 115200;
    QTest::newRow("57600 then 19200") << "Command11"
                                      << "Command13"
                                      << "write 03" << 57600;
}

void TestSpeedChange::codeByteLeavesAtOldSpeed()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, code);
    QFETCH(qint32, oldSpeed);

    button(first)->click();
    button(second)->click();
    const auto steps = lastSequence(*m_com1);
    QCOMPARE(steps[1].what, code);
    QCOMPARE(steps[1].baudInForce, oldSpeed);
}

void TestSpeedChange::samePanelIsHeldOffDuringTheWaits()
{
    at(50, [&] {
        button("Command11")->click();
        button("Command2")->click();
    });
    button("Command10")->click();

    QCOMPARE(m_com1->log().mid(1),
             QStringList({"rts off", "write 00", "rts on", "settings 115200"}));
    button("Command2")->click(); // and afterwards they run again
    QCOMPARE(m_com1->log().last(), QStringLiteral("write 31 32 33 34 35 0d 0a"));
}

void TestSpeedChange::otherPanelRunsInsideTheWait()
{
    at(50, [&] { button("Command15")->click(); }); // COM2 to 9600, nested in COM1's first wait
    button("Command10")->click();

    const auto outer = lastSequence(*m_com1);
    const auto inner = lastSequence(*m_com2);
    QCOMPARE(outer.size(), 4);
    QCOMPARE(inner.size(), 4);
    QVERIFY(inner[0].atNs > outer[0].atNs);
    QVERIFY(inner[3].atNs < outer[1].atNs); // the nested one ran to its end first
    QCOMPARE(status("Label6"), QStringLiteral("已打开  115200,n,8,1"));
    QCOMPARE(status("Label8"), QStringLiteral("已打开  9600,n,8,1"));
}

void TestSpeedChange::openOrCloseInsideAWait_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<int>("wait");
    QTest::addColumn<bool>("cutShort");

    const QStringList closeAndOpen = {"Command9", "Command8"};
    QTest::newRow("CLOSE in the first wait") << QStringList {"Command9"} << 1 << true;
    QTest::newRow("CLOSE and OPEN in the first wait") << closeAndOpen << 1 << true;
    QTest::newRow("CLOSE and OPEN in the second wait") << closeAndOpen << 2 << true;
    QTest::newRow("CLOSE and OPEN in the third wait") << closeAndOpen << 3 << true;
    QTest::newRow("OPEN on the open port") << QStringList {"Command8"} << 2 << false;
}

void TestSpeedChange::openOrCloseInsideAWait()
{
    QFETCH(QStringList, clicks);
    QFETCH(int, wait);
    QFETCH(bool, cutShort);

    qsizetype before = 0;
    at(50 + 100 * (wait - 1), [&] {
        before = m_com1->log().size();
        for (const QString &name : clicks)
            button(name)->click();
    });
    button("Command10")->click();

    auto *box = m_window->findChild<QMessageBox *>();
    const bool reopened = clicks.last() == u"Command8";
    if (!cutShort) {
        QVERIFY(!box);
        QCOMPARE(m_com1->log().last(), QStringLiteral("settings 115200"));
        return;
    }
    // Nothing of the sequence after the port was closed, on that opening or the next.
    QCOMPARE(m_com1->log().mid(before),
             reopened ? QStringList({"close", "open"}) : QStringList {"close"});
    QVERIFY(box);
    QVERIFY2(box->text().contains("8018") && box->text().contains("COM1 (/dev/fake1)")
                 && box->text().contains("cut short"),
             qPrintable(box->text()));
    box->close();
    QCOMPARE(status("Label6"),
             reopened ? QStringLiteral("已打开  9600,n,8,1") : QStringLiteral("未打开"));
    QCOMPARE(button("Command10")->isEnabled(), reopened);

    if (!reopened)
        button("Command8")->click(); // the program goes on
    button("Command10")->click();
    QCOMPARE(status("Label6"), QStringLiteral("已打开  115200,n,8,1"));
}

void TestSpeedChange::closingTheWindowInsideTheWait()
{
    const auto journal1 = m_com1->journal();
    const auto journal2 = m_com2->journal();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    at(0, [&] { button("Command10")->click(); });
    at(150, [&] { m_window->close(); });
    QCoreApplication::exec(); // ends when the last window closes
    // The program would end here; the tests go on, without the quit Qt posted for that window.
    QCoreApplication::removePostedEvents(qApp, QEvent::Quit);

    destroyWindow();
    QCOMPARE(journal1->last().what, QStringLiteral("close"));
    QCOMPARE(journal2->last().what, QStringLiteral("close"));
    for (const auto &event : *journal1)
        QVERIFY(!event.what.startsWith("settings")); // the sequence was abandoned
}

void TestSpeedChange::sentTextLeavesFirst_data()
{
    QTest::addColumn<QStringList>("clicks"); // the second 50 ms after the first
    QTest::addColumn<int>("queueLeavesMs"); // -1: the far end never takes it
    QTest::addColumn<int>("transmitterDoneMs"); // -1: nothing left in the adapter's own buffer
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("message"); // what the one message says, if any

    const QStringList change = {"Command10"};
    const QStringList close = {"Command9"};
    const QStringList sequence = {"rts off", "write 00", "rts on", "settings 115200"};
    const QStringList closedDiscarding = {"discard 96", "close"};
    QTest::newRow("speed change") << change << 150 << -1 << sequence << QStringList();
    QTest::newRow("speed change, transmitter still busy")
        << change << 50 << 200 << sequence << QStringList();
    QTest::newRow("speed change, line stopped")
        << change << -1 << -1 << QStringList() << QStringList {"8019", "did not start", "96 bytes"};
    QTest::newRow("speed change, then CLOSE")
        << QStringList {"Command10", "Command9"} << -1 << -1 << closedDiscarding
        << QStringList {"8019", "did not start", "Nothing of the change", "96 of the bytes"};
    QTest::newRow("CLOSE") << close << 150 << -1 << QStringList {"close"} << QStringList();
    QTest::newRow("CLOSE, transmitter still busy")
        << close << 50 << 200 << QStringList {"close"} << QStringList();
    QTest::newRow("CLOSE, line stopped")
        << close << -1 << -1 << closedDiscarding
        << QStringList {"8019", "96 of the bytes", "stopped the flow"};
    QTest::newRow("CLOSE, then CLOSE again")
        << QStringList {"Command9", "Command9"} << -1 << -1 << closedDiscarding
        << QStringList {"8019", "at once", "96 of the bytes"};
}

// Text still on its way out at 9600 baud, in the driver's queue or in the adapter's transmitter,
// is waited for with the window going on: the speed change drops RTS only once it has left, CLOSE
// closes only then. A line that takes nothing is given up on once the bytes' own time and a
// second have passed, and CLOSE meanwhile closes at once: what had not left is discarded and
// counted, and nothing of a waiting speed change reaches the line.
void TestSpeedChange::sentTextLeavesFirst()
{
    QFETCH(QStringList, clicks);
    QFETCH(int, queueLeavesMs);
    QFETCH(int, transmitterDoneMs);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, message);

    m_com1->setUnsent(96); // 100 ms at 9600 baud
    m_com1->setTransmitting(transmitterDoneMs >= 0);
    if (queueLeavesMs >= 0)
        at(queueLeavesMs, [this] { m_com1->setUnsent(0); });
    if (transmitterDoneMs >= 0)
        at(transmitterDoneMs, [this] { m_com1->setTransmitting(false); });
    if (clicks.size() > 1)
        at(50, [&] { click(clicks[1]); });
    QElapsedTimer clock;
    clock.start();
    const qsizetype before = m_com1->events().size();
    click(clicks[0]);
    const auto boxes = [this] {
        return m_window->findChildren<QMessageBox *>();
    };
    QTRY_VERIFY_WITH_TIMEOUT(
        !boxes().isEmpty() || (!steps.isEmpty() && m_com1->log().last() == steps.last()), 5000);

    QStringList done;
    qint64 leftAt = -1, firstStepAt = -1;
    for (const FakeSerialDevice::Event &event : m_com1->events().mid(before)) {
        if (event.what == u"sent" && leftAt < 0)
            leftAt = event.atNs;
        if (event.what == u"sent" || event.what == u"read")
            continue;
        if (done.isEmpty())
            firstStepAt = event.atNs;
        done.append(event.what);
    }
    QCOMPARE(done, steps);
    if (queueLeavesMs >= 0)
        QVERIFY(leftAt >= 0 && firstStepAt >= leftAt); // not before the text had left
    QCOMPARE(m_com1->isOpen(), !steps.contains("close"));
    QCOMPARE(boxes().size(), message.isEmpty() ? 0 : 1);
    for (const QString &words : message)
        QVERIFY2(boxes().first()->text().contains(words), qPrintable(boxes().first()->text()));
    if (queueLeavesMs < 0 && clicks.size() == 1) // given up on, not before its time
        QVERIFY(clock.elapsed() >= 1100);
}

QTEST_MAIN(TestSpeedChange)
#include "tst_speedchange.moc"
