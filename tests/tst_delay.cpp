// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "ports/delay.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

namespace {

quint32 clockBase = 0;

// The system clock shifted so that it wraps 64 ms after the test starts.
quint32 clockNearWrap()
{
    return 0xFFFFFFC0u + (timeGetTime() - clockBase);
}

// A clock that ticks every 64 ms, the first tick 4 ms after the test starts: by its readings
// alone, a wait of 100 would end after 68 ms.
quint32 coarseClock()
{
    return (timeGetTime() - clockBase + 60) / 64 * 64;
}

} // namespace

// The responsive wait: how long it lasts by a plain, a wrapping and a coarse clock, and how it
// is ended.
class TestDelay : public QObject
{
    Q_OBJECT

private slots:
    void lastsAtLeastItsMilliseconds_data();
    void lastsAtLeastItsMilliseconds();
    void stopAndRestart();
};

void TestDelay::lastsAtLeastItsMilliseconds_data()
{
    QTest::addColumn<int>("ms");
    QTest::addColumn<MillisecondClock>("clock");

    const MillisecondClock system = timeGetTime;
    QTest::newRow("zero") << 0 << system;
    QTest::newRow("negative") << -5 << system;
    QTest::newRow("one") << 1 << system;
    QTest::newRow("a hundred") << 100 << system;
    QTest::newRow("largest") << 250 << system; // signed 16-bit counts are only ever small here
    QTest::newRow("across the clock's wrap") << 100 << MillisecondClock(clockNearWrap);
    QTest::newRow("by a coarse clock") << 100 << MillisecondClock(coarseClock);
}

void TestDelay::lastsAtLeastItsMilliseconds()
{
    QFETCH(int, ms);
    QFETCH(MillisecondClock, clock);

    clockBase = timeGetTime();
    Delay delay(nullptr, clock);
    QSignalSpy finished(&delay, &Delay::finished);
    QElapsedTimer timer;
    timer.start();
    delay.start(qint16(ms));
    QVERIFY(finished.wait(5000)); // not the 49 days of a wrong difference across the wrap
    QVERIFY2(timer.nsecsElapsed() >= qint64(ms) * 1000000,
             qPrintable(QString::number(timer.nsecsElapsed())));
    QCOMPARE(finished.size(), 1);
    QVERIFY(!delay.isActive());
}

// A wait that is stopped never ends in finished(); one started again counts from then.
void TestDelay::stopAndRestart()
{
    Delay delay;
    QSignalSpy finished(&delay, &Delay::finished);
    delay.start(50);
    delay.stop();
    QVERIFY(!finished.wait(150));

    QElapsedTimer timer;
    timer.start();
    delay.start(100);
    QTest::qWait(60);
    delay.start(100);
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.size(), 1);
    QVERIFY(timer.elapsed() >= 160);
}

QTEST_GUILESS_MAIN(TestDelay)
#include "tst_delay.moc"
