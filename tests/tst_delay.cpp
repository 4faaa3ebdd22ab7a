// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "ports/delay.h"

#include <QElapsedTimer>
#include <QTimer>
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

// The responsive wait: how long it lasts, the wrap of the 32-bit clock, events during the wait,
// and giving up when the application quits.
class TestDelay : public QObject
{
    Q_OBJECT

private slots:
    void lastsAtLeastItsMilliseconds_data();
    void lastsAtLeastItsMilliseconds();
    void acrossTheClockWrap();
    void coarseClockEndsNoWaitEarly();
    void servesEventsWhileWaiting();
    void givesUpWhenTheApplicationQuits();
};

void TestDelay::lastsAtLeastItsMilliseconds_data()
{
    QTest::addColumn<int>("ms");

    QTest::newRow("zero") << 0;
    QTest::newRow("negative") << -5;
    QTest::newRow("one") << 1;
    QTest::newRow("a hundred") << 100;
    QTest::newRow("largest") << 250; // signed 16-bit counts are only ever small here
}

void TestDelay::lastsAtLeastItsMilliseconds()
{
    QFETCH(int, ms);

    QElapsedTimer timer;
    timer.start();
    QVERIFY(Delay(qint16(ms)));
    QVERIFY2(timer.nsecsElapsed() >= qint64(ms) * 1000000,
             qPrintable(QString::number(timer.nsecsElapsed())));
}

void TestDelay::acrossTheClockWrap()
{
    clockBase = timeGetTime();
    QElapsedTimer timer;
    timer.start();
    QVERIFY(Delay(100, clockNearWrap));
    QVERIFY(clockNearWrap() < 0x1000u); // the clock did wrap during the wait
    QVERIFY(timer.elapsed() >= 100);
    QVERIFY(timer.elapsed() < 5000); // not the 49 days of a wrong difference
}

void TestDelay::coarseClockEndsNoWaitEarly()
{
    clockBase = timeGetTime();
    QElapsedTimer timer;
    timer.start();
    QVERIFY(Delay(100, coarseClock));
    QVERIFY2(timer.nsecsElapsed() >= 100000000, qPrintable(QString::number(timer.nsecsElapsed())));
}

void TestDelay::servesEventsWhileWaiting()
{
    bool served = false;
    QTimer::singleShot(10, this, [&served] { served = true; });
    QVERIFY(Delay(100));
    QVERIFY(served);
}

void TestDelay::givesUpWhenTheApplicationQuits()
{
    bool completed = true;
    qint64 waited = 0;
    QTimer::singleShot(0, this, [&] {
        QElapsedTimer timer;
        timer.start();
        completed = Delay(30000);
        waited = timer.elapsed();
    });
    QTimer::singleShot(50, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    QVERIFY(!completed);
    QVERIFY(waited < 30000);
    QVERIFY(Delay(1)); // a later wait is not refused
}

QTEST_GUILESS_MAIN(TestDelay)
#include "tst_delay.moc"
