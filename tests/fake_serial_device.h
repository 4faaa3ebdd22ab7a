// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include "serial/line_settings.h"
#include "serial/serial_device.h"

#include <QList>
#include <QStringList>

#include <memory>

// A serial device that records what the component does to it, each operation stamped with a
// monotonic time and the speed in force when it happened.
class FakeSerialDevice : public SerialDevice
{
public:
    struct Event
    {
        qint64 atNs;
        QString what; // "open", "close", "rts off", "rts on", "write 00 0d", "settings 115200"
        qint32 baudInForce;
    };

    explicit FakeSerialDevice(const QString &location = QStringLiteral("/dev/fake"));

    QString location() const override { return m_location; }
    bool prepareOpen() override { return !m_stillClosing; }
    void cancelOpen() override { m_events->append({0, QStringLiteral("cancel open"), 0}); }
    bool open(const LineSettings &settings) override;
    void close() override;
    bool apply(const LineSettings &settings) override;
    bool setRequestToSend(bool active) override;
    bool write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    qint64 bytesToWrite() override { return m_open ? m_unsent : 0; }
    bool drain() override;
    void discardOutput() override;
    Error error() const override { return m_error; }
    QString errorString() const override;

    // What the test does to the line.
    void receive(const QByteArray &bytes) { m_received += bytes; }
    void failNextWith(Error error) { m_failNext = error; }
    void breakDown() { m_broken = true; }
    // Of the bytes written, so many have not left yet; and the last of them may still be in the
    // transmitter, which the count leaves out, as many USB adapters' drivers do. Once both are
    // done, a drain that waited hears so, and the record says "sent".
    void setUnsent(qint64 count);
    void setTransmitting(bool transmitting);
    // Each write keeps the transmitter busy until setTransmitting(false), as a driver that puts
    // the bytes on the line only later does.
    void holdWrites(bool hold) { m_holdWrites = hold; }
    // The system is still closing the device, as when its driver still sends what it held: it
    // cannot be opened at once until letGo() says it is ready.
    void holdLastClosing() { m_stillClosing = true; }
    void letGo()
    {
        m_stillClosing = false;
        reportReady();
    }
    // The driver keeps the device after the next close, as a Windows driver that ignores the
    // cancellation of its requests does.
    void keepOnNextClose() { m_keepOnClose = true; }
    // Breaks down on its own, between operations, and says so, as a pulled adapter does.
    void unplug()
    {
        m_broken = true;
        m_error = Error::Io;
        reportFailure();
    }

    QStringList log() const;
    const QList<Event> &events() const { return *m_events; }
    // The same record, kept alive for a test that outlives the device.
    std::shared_ptr<const QList<Event>> journal() const { return m_events; }
    QByteArray written() const { return m_written; }
    bool isOpen() const { return m_open; }
    bool requestToSend() const { return m_rts; }
    LineSettings line() const { return m_line; }

private:
    bool step(const QString &what);
    void reportSentIfDone();

    QString m_location;
    std::shared_ptr<QList<Event>> m_events = std::make_shared<QList<Event>>();
    QByteArray m_written;
    QByteArray m_received;
    LineSettings m_line;
    Error m_error = Error::None;
    Error m_failNext = Error::None;
    bool m_open = false;
    bool m_rts = false;
    bool m_broken = false;
    qint64 m_unsent = 0;
    bool m_transmitting = false;
    bool m_draining = false;
    bool m_stillClosing = false;
    bool m_keepOnClose = false;
    bool m_holdWrites = false;
};
