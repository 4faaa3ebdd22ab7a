// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

// Prints how long the window is busy after a Read of a long text: from the click until the
// event loop turns again, the new text laid out and painted. Texts without any line break, as a
// device streaming binary data or readings sends them, and short lines for comparison; then the
// same for a long text pasted into the send box and sent, and for Ctrl+V held down.
//   bench_long_lines [kB ...]     sizes of the texts without line breaks (default 100 1000 10000)
#include "fake_serial_device.h"
#include "window/main_window.h"
#include "window/text_box.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QPushButton>

#include <cstdio>
#include <functional>

namespace {

QByteArray withoutBreaks(qsizetype size)
{
    QByteArray bytes;
    bytes.reserve(size);
    const QByteArray digits = "0123456789ABCDEF";
    for (qsizetype i = 0; i < size; ++i)
        bytes += digits[i * 7 % 16];
    return bytes;
}

QByteArray shortLines(qsizetype size)
{
    QByteArray bytes;
    bytes.reserve(size + 64);
    while (bytes.size() < size)
        bytes += "The quick brown fox jumps over the lazy dog 0123456789ABCD.\r\n";
    return bytes;
}

// Runs the action, then lets the event loop turn until the box has been painted.
double busyMs(const std::function<void()> &action, TextBox *box)
{
    QElapsedTimer timer;
    timer.start();
    action();
    QCoreApplication::processEvents();
    box->viewport()->repaint();
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.append(QByteArray(argv[i]).toInt());
    if (sizes.isEmpty())
        sizes = {100, 1000, 10000};

    auto device = std::make_unique<FakeSerialDevice>();
    FakeSerialDevice *line = device.get();
    MainWindow window(std::move(device), std::make_unique<FakeSerialDevice>("/dev/fake2"));
    window.show();
    QCoreApplication::processEvents();
    window.findChild<QPushButton *>(QStringLiteral("Command8"))->click();
    auto *read = window.findChild<QPushButton *>(QStringLiteral("Command1"));
    auto *send = window.findChild<QPushButton *>(QStringLiteral("Command2"));
    auto *receiveBox = window.findChild<TextBox *>(QStringLiteral("Text3"));
    auto *sendBox = window.findChild<TextBox *>(QStringLiteral("Text1"));

    std::printf("| %-40s | %12s | %12s |\n", "text", "Read (ms)", "paste+Send (ms)");
    std::printf("|%s|%s|%s|\n", QByteArray(42, '-').constData(), QByteArray(14, '-').constData(),
                QByteArray(17, '-').constData());
    const auto measure = [&](const char *kind, int kB, const QByteArray &bytes) {
        line->receive(bytes);
        const double readMs = busyMs([read] { read->click(); }, receiveBox);
        if (receiveBox->text().size() != bytes.size())
            std::printf("warning: Read showed %lld characters\n",
                        qlonglong(receiveBox->text().size()));

        const qsizetype sentBefore = line->written().size();
        QGuiApplication::clipboard()->setText(QString::fromLatin1(bytes));
        sendBox->clear();
        const double sendMs = busyMs(
            [&] {
                sendBox->selectAll();
                sendBox->paste();
                send->click();
            },
            sendBox);
        if (line->written().size() - sentBefore != bytes.size())
            std::printf("warning: Send sent %lld bytes\n",
                        qlonglong(line->written().size() - sentBefore));
        const QByteArray label = QByteArray::number(kB) + " kB " + kind;
        std::printf("| %-40s | %12.1f | %15.1f |\n", label.constData(), readMs, sendMs);
        std::fflush(stdout);
    };
    for (const int kB : sizes)
        measure("without line breaks", kB, withoutBreaks(qsizetype(kB) * 1000));
    measure("in lines of 62 characters", 10000, shortLines(10'000'000));

    // Ctrl+V held down: a 1,000-character line pasted at the end of one line, 40 times at a go,
    // each paste laid out and painted as a key repeat would have it.
    QGuiApplication::clipboard()->setText(QString::fromLatin1(withoutBreaks(1000)));
    sendBox->clear();
    std::printf("\n| %-40s | %12s |\n", "40 pastes into one line", "busy (ms)");
    std::printf("|%s|%s|\n", QByteArray(42, '-').constData(), QByteArray(14, '-').constData());
    for (int batch = 1; batch <= 6; ++batch) {
        double batchMs = 0;
        for (int paste = 0; paste < 40; ++paste)
            batchMs += busyMs([sendBox] { sendBox->paste(); }, sendBox);
        const QByteArray label = "batch " + QByteArray::number(batch) + ", line of "
            + QByteArray::number(sendBox->text().size()) + " characters";
        std::printf("| %-40s | %12.1f |\n", label.constData(), batchMs);
        std::fflush(stdout);
    }
    return 0;
}
