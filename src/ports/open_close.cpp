// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "ports/open_close.h"

#include "ports/drain.h"
#include "ports/port_panel.h"
#include "ports/speed_change.h"
#include "serial/serial_port.h"

#include <QCoreApplication>

#include <functional>
#include <optional>

namespace {

using Task = PortPanel::Task;

// Closes the port, with what has not yet left thrown away first when asked, so that the driver
// does not hold the window for it; shows both panels; and tells in one message what the caller
// has to say, given how much was thrown away, with what the driver's closing has to say: that
// it did not let go of the device.
void closeTelling(PortPanel &panel, const PortPanels &panels, bool discard,
                  const std::function<std::optional<Failure>(qint64 discarded)> &say)
{
    qint64 discarded = 0;
    if (discard) {
        // Counted as it goes: some drivers keep what is already on its way to the adapter.
        const qint64 before = panel.comm->bytesToWrite();
        panel.comm->discardOutput();
        discarded = before - panel.comm->bytesToWrite();
    }
    QString note;
    try {
        panel.comm->setPortOpen(false);
    } catch (const Failure &failure) {
        note = failure.description();
    }
    UpdateCommands(panel);
    Status(panels);
    const std::optional<Failure> said = say(discarded);
    if (said && !note.isEmpty())
        throw Failure(said->number(), said->description() + u' ' + note);
    if (said)
        throw *said;
    if (!note.isEmpty())
        throw Failure(Failure::DeviceFailed, note);
}

std::optional<Failure> nothing(qint64)
{
    return std::nullopt;
}

Failure stalled(const SerialPort &comm, qint64 discarded)
{
    return Failure(Failure::DeviceBusy,
                   QCoreApplication::translate(
                       "Close",
                       "%1 is closed, but %2 of the bytes sent could not leave the line before it "
                       "closed and were discarded. The far end may have stopped the flow.")
                       .arg(comm.displayName())
                       .arg(discarded));
}

// CLOSE once more, or CLOSE while a speed change waits for the text before it: the user does not
// want to wait, and nothing of the change has reached the line.
Failure cutShort(const PortPanel &panel, Task waiting, qint64 discarded)
{
    const QString port = panel.comm->displayName();
    if (waiting == Task::ChangingSpeedOnceSent) {
        return Failure(
            Failure::DeviceBusy,
            QCoreApplication::translate(
                "Close",
                "The speed change of %1 to %2 did not start: the port was closed while the text "
                "sent before it was still leaving. Nothing of the change reached the module; %3 "
                "of the bytes sent were discarded.")
                .arg(port, QString::fromLatin1(speedTable[panel.speedRow].settings))
                .arg(discarded));
    }
    return Failure(Failure::DeviceBusy,
                   QCoreApplication::translate("Close",
                                               "%1 is closed at once: %2 of the bytes sent had "
                                               "not yet left the line and were discarded.")
                       .arg(port)
                       .arg(discarded));
}

// A speed change that has begun ends with the port: the module would take an unframed byte as
// a code, so nothing more of it reaches the line, even once the port is open again.
Failure changeCutShort(const PortPanel &panel)
{
    return Failure(Failure::PortNotOpen,
                   QCoreApplication::translate(
                       "ChangeSpeed",
                       "The speed change of %1 to %2 was cut short: the port was closed while it "
                       "ran. Nothing more was sent and the line settings were not changed; the "
                       "module may already have taken the new speed. Click OPEN and choose the "
                       "speed again.")
                       .arg(panel.comm->displayName(),
                            QString::fromLatin1(speedTable[panel.speedRow].settings)));
}

// CLOSE while the task waits for it, or for the text sent before, to end: at once, all the same.
void closeNow(PortPanel &panel, const PortPanels &panels)
{
    const Task task = panel.task;
    EndTask(panel);
    if (task == Task::ClosingOnceSent || task == Task::ChangingSpeedOnceSent) {
        // Only the adapter's answer was awaited: nothing to tell of a plain CLOSE.
        closeTelling(panel, panels, true, [&](qint64 discarded) -> std::optional<Failure> {
            if (discarded > 0 || task == Task::ChangingSpeedOnceSent)
                return cutShort(panel, task, discarded);
            return std::nullopt;
        });
    } else {
        closeTelling(panel, panels, false, [&](qint64) { return changeCutShort(panel); });
    }
}

} // namespace

void Open(PortPanel &panel, const PortPanels &panels)
{
    if (panel.task == Task::Opening || panel.task == Task::FindingDevice)
        return; // it opens once the device is ready
    if (panel.task == Task::ClosingOnceSent)
        EndTask(panel); // the user keeps it open after all
    if (!panel.comm->portOpen()) {
        if (!panel.comm->prepareOpen()) {
            panel.task = Task::Opening;
            return;
        }
        panel.comm->setPortOpen(true);
    }
    UpdateCommands(panel);
    Status(panels);
}

void ReadyToOpen(PortPanel &panel, const PortPanels &panels)
{
    if (panel.task != Task::Opening)
        return;
    panel.task = Task::None;
    Open(panel, panels);
}

void CloseOnceSent(PortPanel &panel, Sent sent, const PortPanels &panels)
{
    if (panel.task != Task::ClosingOnceSent)
        return;
    panel.task = Task::None;
    // A driver that never says its transmitter has emptied, with nothing counted: as sent as it
    // can tell.
    if (sent == Sent::Stalled) {
        closeTelling(panel, panels, true, [&](qint64 discarded) -> std::optional<Failure> {
            return discarded > 0 ? std::optional(stalled(*panel.comm, discarded)) : std::nullopt;
        });
    } else if (sent == Sent::All) {
        closeTelling(panel, panels, false, nothing);
    } else {
        UpdateCommands(panel);
        Status(panels);
    }
}

void Close(PortPanel &panel, const PortPanels &panels)
{
    SerialPort &comm = *panel.comm;
    // A device lost meanwhile is reported as that, once, and it has closed the port.
    if (comm.portOpen())
        comm.checkDevice();
    if (panel.task == Task::Opening || panel.task == Task::FindingDevice) {
        EndTask(panel);
    } else if (panel.task != Task::None) {
        closeNow(panel, panels);
        return;
    } else if (comm.portOpen()) {
        // Text that Send accepted leaves before the line closes, as far as the line takes it;
        // the window goes on meanwhile, and CloseOnceSent() closes. Asked even when no queue
        // counts anything: an adapter's own buffer may still hold the end of it.
        if (!panel.drain->start()) {
            panel.task = Task::ClosingOnceSent;
            UpdateCommands(panel);
            return;
        }
        comm.setPortOpen(false);
    }
    UpdateCommands(panel);
    Status(panels);
}
