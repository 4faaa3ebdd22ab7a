// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "fake_serial_device.h"
#include "window/main_window.h"
#include "window/text_box.h"
#include "window_test.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
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
    void otherPanelRunsBesideIt();
    void openOrCloseInsideAWait_data();
    void openOrCloseInsideAWait();
    void closingTheWindowInsideTheWait_data();
    void closingTheWindowInsideTheWait();
    void sentTextLeavesFirst_data();
    void sentTextLeavesFirst();
    void codeWaitCountsFromItsLeaving_data();
    void codeWaitCountsFromItsLeaving();

private:
    void at(int msFromNow, const std::function<void()> &action)
    {
        QTimer::singleShot(msFromNow, this, action);
    }
    // The speed change runs in the event loop: until the device has taken the new settings.
    static bool changed(const FakeSerialDevice *device, qint32 speed)
    {
        const QString settings = QStringLiteral("settings %1").arg(speed);
        return QTest::qWaitFor([&] { return device->log().last() == settings; }, 5000);
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
    QVERIFY(changed(own, speed));

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
    QTRY_VERIFY(m_com1->log().last().startsWith("settings"));
    const qsizetype before = m_com1->log().size();
    button(second)->click();
    QTRY_VERIFY(m_com1->log().size() == before + 4);
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
    QVERIFY(changed(m_com1, 115200));
    QTest::qWait(150); // the other speed would have begun by now

    QCOMPARE(m_com1->log().mid(1),
             QStringList({"rts off", "write 00", "rts on", "settings 115200"}));
    button("Command2")->click(); // and afterwards they run again
    QCOMPARE(m_com1->log().last(), QStringLiteral("write 31 32 33 34 35 0d 0a"));
}

// The two panels' changes run side by side, each with its own 100 ms waits.
void TestSpeedChange::otherPanelRunsBesideIt()
{
    at(50, [&] { button("Command15")->click(); }); // COM2 to 9600 in COM1's first wait
    button("Command10")->click();
    QVERIFY(changed(m_com1, 115200));
    QVERIFY(changed(m_com2, 9600));

    const auto first = lastSequence(*m_com1);
    const auto second = lastSequence(*m_com2);
    QCOMPARE(first.size(), 4);
    QCOMPARE(second.size(), 4);
    QVERIFY(second[0].atNs > first[0].atNs);
    QVERIFY(second[0].atNs < first[1].atNs); // inside the wait
    for (const auto &steps : {first, second}) {
        for (int i = 1; i < 4; ++i)
            QVERIFY(steps[i].atNs - steps[i - 1].atNs >= 100 * ms);
    }
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
    if (!cutShort) {
        QVERIFY(changed(m_com1, 115200));
        QVERIFY(!m_window->findChild<QMessageBox *>());
        return;
    }
    QTRY_VERIFY(m_window->findChild<QMessageBox *>());
    QTest::qWait(350); // longer than what was left of the sequence
    auto *box = m_window->findChild<QMessageBox *>();
    const bool reopened = clicks.last() == u"Command8";
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
    QTRY_COMPARE(status("Label6"), QStringLiteral("已打开  115200,n,8,1"));
}

void TestSpeedChange::closingTheWindowInsideTheWait_data()
{
    QTest::addColumn<int>("closeAtMs");
    QTest::addColumn<int>("busyMs"); // the machine is busy so long before the window closes

    QTest::newRow("in the second wait") << 150 << 0;
    // The first wait has passed by the time the window closes, before the event loop ends.
    QTest::newRow("as the first wait ends") << 50 << 150;
}

// Closing the window ends the program at once, and whatever a speed change waited for, nothing
// more of it reaches the line.
void TestSpeedChange::closingTheWindowInsideTheWait()
{
    QFETCH(int, closeAtMs);
    QFETCH(int, busyMs);

    const auto journal1 = m_com1->journal();
    const auto journal2 = m_com2->journal();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    qint64 closedAt = 0;
    at(0, [&] { button("Command10")->click(); });
    at(closeAtMs, [&] {
        QThread::msleep(busyMs);
        closedAt = journal1->last().atNs;
        m_window->close();
    });
    QCoreApplication::exec(); // ends when the last window closes
    // The program would end here; the tests go on, without the quit Qt posted for that window.
    QCoreApplication::removePostedEvents(qApp, QEvent::Quit);
    QTest::qWait(busyMs + 150);

    destroyWindow();
    QCOMPARE(journal1->last().what, QStringLiteral("close"));
    QCOMPARE(journal2->last().what, QStringLiteral("close"));
    for (const auto &event : *journal1) {
        QVERIFY(!event.what.startsWith("settings")); // the sequence was abandoned
        QVERIFY2(event.atNs <= closedAt || event.what == u"close", qPrintable(event.what));
    }
}

void TestSpeedChange::sentTextLeavesFirst_data()
{
    QTest::addColumn<QStringList>("clicks"); // the second 50 ms after the first; "keep": the
                                             // driver keeps the device after closing
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
    // A driver that says sent as soon as the adapter has the bytes, which still sends them: RTS
    // drops no sooner than the text needs at 9600 baud after it was written.
    QTest::newRow("text, then a speed change; the driver says sent at once")
        << QStringList {"Command2", "Command10"} << 0 << -1 << sequence << QStringList();
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
    // A driver that keeps the device after closing is told in the same message as the rest.
    QTest::newRow("speed change, then CLOSE, the driver keeps the device")
        << QStringList {"Command10", "Command9", "keep"} << -1 << -1 << closedDiscarding
        << QStringList {"8019", "did not start", "96 of the bytes", "did not let go"};
    QTest::newRow("CLOSE, then CLOSE again, the driver keeps the device")
        << QStringList {"Command9", "Command9", "keep"} << -1 << -1 << closedDiscarding
        << QStringList {"8019", "at once", "96 of the bytes", "did not let go"};
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

    if (clicks.removeAll("keep") > 0)
        m_com1->keepOnNextClose();
    m_com1->setUnsent(96); // 100 ms at 9600 baud
    m_com1->setTransmitting(transmitterDoneMs >= 0);
    if (queueLeavesMs >= 0)
        at(queueLeavesMs, [this] { m_com1->setUnsent(0); });
    if (transmitterDoneMs >= 0)
        at(transmitterDoneMs, [this] { m_com1->setTransmitting(false); });
    if (clicks.size() > 1)
        at(50, [&] { click(clicks[1]); });
    if (clicks[0] == u"Command2")
        box("Text1")->setText(QString(96, u'x')); // 100 ms at 9600 baud
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
    qint64 leftAt = -1, firstStepAt = -1, textAt = -1;
    for (const FakeSerialDevice::Event &event : m_com1->events().mid(before)) {
        if (event.what == u"sent" && leftAt < 0)
            leftAt = event.atNs;
        if (event.what.startsWith(u"write 78"))
            textAt = event.atNs; // Send's text, not a step
        if (event.what == u"sent" || event.what == u"read" || event.atNs == textAt)
            continue;
        if (done.isEmpty())
            firstStepAt = event.atNs;
        done.append(event.what);
    }
    QCOMPARE(done, steps);
    if (queueLeavesMs >= 0)
        QVERIFY(leftAt >= 0 && firstStepAt >= leftAt); // not before the text had left
    if (textAt >= 0)
        QVERIFY(firstStepAt - textAt >= 100 * ms);
    QCOMPARE(m_com1->isOpen(), !steps.contains("close"));
    QCOMPARE(boxes().size(), message.isEmpty() ? 0 : 1);
    for (const QString &words : message)
        QVERIFY2(boxes().first()->text().contains(words), qPrintable(boxes().first()->text()));
    if (queueLeavesMs < 0 && clicks.size() == 1) // given up on, not before its time
        QVERIFY(clock.elapsed() >= 1100);
}

void TestSpeedChange::codeWaitCountsFromItsLeaving_data()
{
    QTest::addColumn<int>("leavesAtMs"); // from the click; 0: at once, -1: never
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("message");

    const QStringList sequence = {"rts off", "write 00", "rts on", "settings 115200"};
    QTest::newRow("at once") << 0 << sequence << QString();
    QTest::newRow("150 ms after it was written") << 250 << sequence << QString();
    QTest::newRow("never") << -1 << QStringList {"rts off", "write 00", "discard 0", "rts on"}
                           << "did not leave the line in time";
}

// The module is owed 100 ms after its code at the wire: the wait begins when the driver says the
// code byte has left, however late it puts it on the line. A code that never leaves is thrown
// away, and the line is given back its RTS.
void TestSpeedChange::codeWaitCountsFromItsLeaving()
{
    QFETCH(int, leavesAtMs);
    QFETCH(QStringList, steps);
    QFETCH(QString, message);

    m_com1->holdWrites(leavesAtMs != 0);
    if (leavesAtMs > 0)
        at(leavesAtMs, [this] { m_com1->setTransmitting(false); });
    const qsizetype before = m_com1->events().size();
    click("Command10");
    QTRY_VERIFY_WITH_TIMEOUT(m_com1->log().last() == steps.last(), 5000);

    QStringList done;
    QList<qint64> at;
    for (const FakeSerialDevice::Event &event : m_com1->events().mid(before)) {
        if (event.what == u"sent") // the code has left: the wait counts from here
            at.last() = event.atNs;
        else if (event.what != u"read") {
            done.append(event.what);
            at.append(event.atNs);
        }
    }
    QCOMPARE(done, steps);
    auto *box = m_window->findChild<QMessageBox *>();
    QCOMPARE(box != nullptr, !message.isEmpty());
    if (box) {
        QVERIFY2(box->text().contains("8019") && box->text().contains(message),
                 qPrintable(box->text()));
        QCOMPARE(status("Label6"), QStringLiteral("已打开  9600,n,8,1"));
        return;
    }
    QVERIFY(at[2] - at[1] >= 100 * ms); // RTS active 100 ms after the code has left
    QVERIFY(at[3] - at[2] >= 100 * ms);
}

QTEST_MAIN(TestSpeedChange)
#include "tst_speedchange.moc"
