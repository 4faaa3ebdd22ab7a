// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

// Prints what a large Send and Read cost through the real Linux serial device on a pseudo-terminal:
// a Read that takes the text (1 MB, or as many as the second argument says) and shows it, a Send
// of the same handed to the device, and the peak memory.
#include "pty_pair.h"
#include "serial/posix/posix_serial_device.h"
#include "window/main_window.h"
#include "window/text_box.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

QString textOf(int megabytes)
{
    QString text;
    while (text.size() < megabytes * 1024 * 1024)
        text += QStringLiteral("The quick brown fox jumps over the lazy dog 0123456789.\n");
    return text;
}

double timedClick(QPushButton *button)
{
    QElapsedTimer timer;
    timer.start();
    button->click();
    return timer.nsecsElapsed() / 1e6;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const int megabytes = argc > 2 ? std::max(1, atoi(argv[2])) : 1;

    PtyPair line;
    MainWindow window(std::make_unique<PosixSerialDevice>(line.devicePath()),
                      std::make_unique<PosixSerialDevice>(QStringLiteral("/nonexistent")));
    window.show();
    window.findChild<QPushButton *>(QStringLiteral("Command8"))->click();
    // OPEN waits for the system away from the window's thread.
    auto *status = window.findChild<QLabel *>(QStringLiteral("Label6"));
    while (!status->text().startsWith(u"已打开"))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    auto *send = window.findChild<QPushButton *>(QStringLiteral("Command2"));
    auto *read = window.findChild<QPushButton *>(QStringLiteral("Command1"));
    auto *sendBox = window.findChild<TextBox *>(QStringLiteral("Text1"));
    auto *receiveBox = window.findChild<TextBox *>(QStringLiteral("Text3"));

    const QString text = textOf(megabytes);
    const QByteArray bytes = text.toUtf8();
    QList<double> readMs;
    QList<double> sendMs;
    for (int run = 0; run < runs; ++run) {
        line.writeFar(bytes);
        // Let the port take in the last of it before the Read is timed.
        for (QDeadlineTimer settle(200); !settle.hasExpired();)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        readMs.append(timedClick(read));
        if (receiveBox->toPlainText().size() != text.size())
            std::printf("warning: Read showed %lld characters\n",
                        qlonglong(receiveBox->toPlainText().size()));

        sendBox->setText(text);
        sendMs.append(timedClick(send));
        line.readFar(bytes.size() + text.count(u'\n')); // drain the far end
    }

    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("Send and Read of %d MB of text, %d runs, real device on a pseudo-terminal\n\n",
                megabytes, runs);
    std::printf("| %-46s | %10s |\n", "figure", "value");
    std::printf("|%s|%s|\n", QByteArray(48, '-').constData(), QByteArray(12, '-').constData());
    std::printf("| %-46s | %7.1f ms |\n", "Read shown in the receive box, median", median(readMs));
    std::printf("| %-46s | %7.1f ms |\n", "Send handed to the device, median", median(sendMs));
    std::printf("| %-46s | %7.1f MB |\n", "peak resident memory of the process",
                usage.ru_maxrss / 1024.0);
    return 0;
}
