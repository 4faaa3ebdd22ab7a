// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

// Prints what the speed change costs: how far each 100 ms wait overshoots, the sequence's wall
// time, the processor time it burns, and how soon a click posted from outside during a wait is
// served; the same for a busy-polling wait in the same run, for comparison. Given a device, it
// also measures what a port costs while nothing happens on it, open and closed.
#include "cpu_time.h"
#include "fake_serial_device.h"
#include "ports/delay.h"
#include "serial/line_settings.h"
#include "serial/serial_device.h"
#include "serial/serial_port.h"
#include "window/main_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

struct Figures
{
    QList<double> overshootMs;
    QList<double> wallMs;
    QList<double> cpuMs;
    QList<double> clickMs;
};

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

double maximum(const QList<double> &values)
{
    return values.isEmpty() ? 0 : *std::max_element(values.begin(), values.end());
}

// The wait as first designed: read the clock and process events in a tight loop.
void busyDelay(qint16 ms)
{
    const quint32 start = timeGetTime();
    while (timeGetTime() - start < quint32(ms))
        QCoreApplication::processEvents();
}

// The same four steps as the window's speed change, waiting by busy polling.
void busySequence(SerialPort *port)
{
    port->setRTSEnable(false);
    busyDelay(100);
    port->setOutput(QString(QChar(0)));
    busyDelay(100);
    port->setRTSEnable(true);
    busyDelay(100);
    port->setSettings(QStringLiteral("115200,n,8,1"));
}

// Runs one sequence while another thread posts a click on target 50 ms in, as the window system
// would deliver one.
void measure(const std::function<void()> &sequence, const FakeSerialDevice &device,
             QPushButton *target, Figures &figures)
{
    Clock::time_point posted;
    Clock::time_point served;
    const auto connection = QObject::connect(target, &QPushButton::clicked, target,
                                             [&served] { served = Clock::now(); });
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const QPointF centre(target->width() / 2.0, target->height() / 2.0);
        posted = Clock::now();
        for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QCoreApplication::postEvent(target,
                                        new QMouseEvent(type, centre, centre, Qt::LeftButton,
                                                        Qt::LeftButton, Qt::NoModifier));
        }
    });

    const double cpuBefore = processCpuMs();
    QElapsedTimer wall;
    wall.start();
    sequence();
    figures.wallMs.append(wall.nsecsElapsed() / 1e6);
    figures.cpuMs.append(processCpuMs() - cpuBefore);
    poster.join();
    QObject::disconnect(connection);
    figures.clickMs.append(std::chrono::duration<double, std::milli>(served - posted).count());

    const auto &events = device.events();
    const qsizetype last = events.size() - 1; // rts off, write, rts on, settings
    for (qsizetype i = last - 2; i <= last; ++i)
        figures.overshootMs.append((events[i].atNs - events[i - 1].atNs) / 1e6 - 100);
}

// The processor time the process takes per second while the event loop runs for so long.
double idleCpuMsPerSecond(int seconds)
{
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    const double before = processCpuMs();
    loop.exec();
    return (processCpuMs() - before) / seconds;
}

// The system's own device at that location, closed and then open, with nothing to do.
void idlePort(const QString &location)
{
    constexpr int seconds = 10;
    const std::unique_ptr<SerialDevice> device = SerialDevice::create(location);
    const double closed = idleCpuMsPerSecond(seconds);
    if (!device->open(LineSettings())) {
        std::printf("\n%s could not be opened: %s\n", qPrintable(location),
                    qPrintable(device->errorString()));
        return;
    }
    const double open = idleCpuMsPerSecond(seconds);
    device->close();
    std::printf("\nAn idle port, %s, %d s each\n\n", qPrintable(location), seconds);
    std::printf("| %-30s | %12s |\n", "processor time (ms per second)", "value");
    std::printf("|%s|%s|\n", QByteArray(32, '-').constData(), QByteArray(14, '-').constData());
    std::printf("| %-30s | %12.2f |\n", "port closed", closed);
    std::printf("| %-30s | %12.2f |\n", "port open, nothing to do", open);
}

void row(const char *what, double sleeping, double busy, bool ratio = false)
{
    std::printf("| %-30s | %12.2f | %12.2f |", what, sleeping, busy);
    if (ratio && sleeping > 0)
        std::printf(" %8.0fx |\n", busy / sleeping);
    else
        std::printf(" %9s |\n", "");
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 20;

    auto device = std::make_unique<FakeSerialDevice>();
    FakeSerialDevice &fake = *device;
    MainWindow window(std::move(device), std::make_unique<FakeSerialDevice>("/dev/fake2"));
    window.show();
    auto *open = window.findChild<QPushButton *>(QStringLiteral("Command8"));
    auto *speed = window.findChild<QPushButton *>(QStringLiteral("Command10"));
    auto *target = window.findChild<QPushButton *>(QStringLiteral("Command4")); // COM2's Read
    auto *port = window.findChild<SerialPort *>(QStringLiteral("MSComm1"));
    open->click();

    // The window's speed change runs in the event loop, which sleeps between its steps.
    const auto change = [&fake, speed] {
        const qsizetype before = fake.events().size();
        speed->click();
        while (fake.events().size() < before + 4)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    };
    Figures sleeping;
    Figures busy;
    for (int run = 0; run < runs; ++run) {
        measure(change, fake, target, sleeping);
        measure([port] { busySequence(port); }, fake, target, busy);
    }

    std::printf("Speed change, %d runs each, on the fake device\n\n", runs);
    std::printf("| %-30s | %12s | %12s | %9s |\n", "figure (ms)", "sleeping", "busy polling",
                "ratio");
    std::printf("|%s|%s|%s|%s|\n", QByteArray(32, '-').constData(), QByteArray(14, '-').constData(),
                QByteArray(14, '-').constData(), QByteArray(11, '-').constData());
    row("wait overshoot, median", median(sleeping.overshootMs), median(busy.overshootMs));
    row("wait overshoot, maximum", maximum(sleeping.overshootMs), maximum(busy.overshootMs));
    row("sequence wall time, median", median(sleeping.wallMs), median(busy.wallMs));
    row("CPU time per sequence, median", median(sleeping.cpuMs), median(busy.cpuMs), true);
    row("posted click served, median", median(sleeping.clickMs), median(busy.clickMs));
    row("posted click served, maximum", maximum(sleeping.clickMs), maximum(busy.clickMs));

    // Text still leaving when the speed is chosen: the sequence first waits 500 ms for it.
    QList<double> drainWallMs;
    QList<double> drainCpuMs;
    for (int run = 0; run < std::min(runs, 10); ++run) {
        fake.setUnsent(4800); // 5 s at 9600 baud, left after 500 ms
        QTimer::singleShot(500, &window, [&fake] { fake.setUnsent(0); });
        const qsizetype before = fake.events().size();
        const double cpuBefore = processCpuMs();
        QElapsedTimer wall;
        wall.start();
        speed->click();
        // The wait ends in the event loop: until the new speed is set.
        while (!fake.events().last().what.startsWith(u"settings")
               || fake.events().size() == before) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        drainWallMs.append(wall.nsecsElapsed() / 1e6 - 300);
        drainCpuMs.append(processCpuMs() - cpuBefore);
    }
    std::printf("\nWith 500 ms of sent text still leaving, %lld runs\n\n",
                qlonglong(drainWallMs.size()));
    std::printf("| %-30s | %12s |\n", "figure (ms)", "median");
    std::printf("|%s|%s|\n", QByteArray(32, '-').constData(), QByteArray(14, '-').constData());
    std::printf("| %-30s | %12.2f |\n", "wait for the text", median(drainWallMs));
    std::printf("| %-30s | %12.2f |\n", "CPU time, wait and sequence", median(drainCpuMs));

    if (argc > 2)
        idlePort(QString::fromLocal8Bit(argv[2]));
    return 0;
}
