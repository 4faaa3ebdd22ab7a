// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "ports/port_panel.h"

#include "ports/delay.h"
#include "ports/drain.h"
#include "ports/speed_change.h"
#include "serial/serial_port.h"
#include "window/status_line.h"

#include <QCoreApplication>
#include <QPushButton>

#include <algorithm>

namespace {

using Task = PortPanel::Task;

void setSpeedCommandsEnabled(PortPanel &panel, bool enabled)
{
    // Disabling the focused command would pass the focus on along the tab order, into the other
    // panel, where a key press would act on the other port. Keep it here, on OPEN, which is what
    // a closed port needs next.
    const QWidget *focus = panel.openCommand->window()->focusWidget();
    const auto &commands = panel.speedCommands;
    if (!enabled && std::find(commands.begin(), commands.end(), focus) != commands.end())
        panel.openCommand->setFocus(Qt::OtherFocusReason);
    for (QPushButton *command : commands)
        command->setEnabled(enabled);
}

void showStatus(const PortPanel &panel)
{
    // Bytes received damaged are shown as they came; that they were damaged is told beside the
    // designed status text, not in it.
    const QString errors = panel.comm->lineErrors();
    panel.statusLine->setToolTip(
        errors.isEmpty()
            ? QString()
            : QCoreApplication::translate("Status", "Received with faults since OPEN: %1.")
                  .arg(errors));
    if (panel.comm->portOpen())
        panel.statusLine->setText(QStringLiteral("已打开  ") + panel.comm->settings());
    else
        panel.statusLine->setText(QStringLiteral("未打开"));
}

// Closes the port and says nothing, so that what else the closing has to tell comes in one
// message with it: the words of a driver that did not let go of the device, if it did not.
QString closeTelling(SerialPort &comm)
{
    try {
        comm.setPortOpen(false);
    } catch (const Failure &failure) {
        return failure.description();
    }
    return {};
}

Failure withNote(const Failure &failure, const QString &note)
{
    return note.isEmpty() ? failure
                          : Failure(failure.number(), failure.description() + u' ' + note);
}

// Closes the port with what has not yet left thrown away, so that the driver does not hold the
// window for it; returns how much that was.
qint64 closeDiscarding(PortPanel &panel, const PortPanels &panels, QString &note)
{
    // Counted as it goes: some drivers keep what is already on its way to the adapter.
    const qint64 before = panel.comm->bytesToWrite();
    panel.comm->discardOutput();
    const qint64 discarded = before - panel.comm->bytesToWrite();
    note = closeTelling(*panel.comm);
    setSpeedCommandsEnabled(panel, false);
    Status(panels);
    return discarded;
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
    QString note;
    if (task == Task::ClosingOnceSent || task == Task::ChangingSpeedOnceSent) {
        // Only the adapter's answer was awaited: nothing to tell of a plain CLOSE.
        const qint64 discarded = closeDiscarding(panel, panels, note);
        if (discarded > 0 || task == Task::ChangingSpeedOnceSent)
            throw withNote(cutShort(panel, task, discarded), note);
    } else {
        note = closeTelling(*panel.comm);
        setSpeedCommandsEnabled(panel, false);
        Status(panels);
        throw withNote(changeCutShort(panel), note);
    }
    if (!note.isEmpty())
        throw Failure(Failure::DeviceFailed, note);
}

void closeOnceSent(PortPanel &panel, Sent sent, const PortPanels &panels)
{
    if (sent == Sent::Stalled) {
        // A driver that never says its transmitter has emptied, with nothing counted: as sent as
        // it can tell.
        QString note;
        const qint64 discarded = closeDiscarding(panel, panels, note);
        if (discarded > 0)
            throw withNote(stalled(*panel.comm, discarded), note);
        if (!note.isEmpty())
            throw Failure(Failure::DeviceFailed, note);
        return;
    }
    if (sent == Sent::All)
        panel.comm->setPortOpen(false);
    UpdateCommands(panel);
    Status(panels);
}

} // namespace

bool PortPanel::deviceChoosable() const
{
    return !comm->portOpen() && task == Task::None;
}

void Open(PortPanel &panel, const PortPanels &panels)
{
    if (panel.task == Task::Opening)
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
    setSpeedCommandsEnabled(panel, true);
    Status(panels);
}

void Close(PortPanel &panel, const PortPanels &panels)
{
    SerialPort &comm = *panel.comm;
    // A device lost meanwhile is reported as that, once, and it has closed the port.
    if (comm.portOpen())
        comm.checkDevice();
    if (panel.task == Task::Opening) {
        EndTask(panel);
    } else if (panel.task != Task::None) {
        closeNow(panel, panels);
        return;
    } else if (comm.portOpen()) {
        // Text that Send accepted leaves before the line closes, as far as the line takes it;
        // the window goes on meanwhile, and Drained() closes. Asked even when no queue counts
        // anything: an adapter's own buffer may still hold the end of it.
        if (!panel.drain->start()) {
            panel.task = Task::ClosingOnceSent;
            setSpeedCommandsEnabled(panel, false);
            return;
        }
        comm.setPortOpen(false);
    }
    setSpeedCommandsEnabled(panel, false);
    Status(panels);
}

void Status(const PortPanels &panels)
{
    showStatus(panels.port1);
    showStatus(panels.port2);
}

void Drained(PortPanel &panel, Sent sent, const PortPanels &panels)
{
    if (panel.task == Task::ClosingOnceSent) {
        panel.task = Task::None;
        closeOnceSent(panel, sent, panels);
    } else if (panel.task == Task::ChangingSpeedOnceSent || panel.task == Task::CodeLeaving) {
        SpeedChangeSent(panel, sent, panels);
    }
}

void Delayed(PortPanel &panel, const PortPanels &panels)
{
    if (panel.changingSpeed())
        SpeedChangeDelayed(panel, panels);
}

void ReadyToOpen(PortPanel &panel, const PortPanels &panels)
{
    if (panel.task != Task::Opening)
        return;
    panel.task = Task::None;
    Open(panel, panels);
}

void EndTask(PortPanel &panel)
{
    if (panel.task == Task::Opening)
        panel.comm->cancelOpen();
    panel.drain->stop();
    panel.delay->stop();
    panel.task = Task::None;
}

void UpdateCommands(PortPanel &panel)
{
    setSpeedCommandsEnabled(panel, panel.comm->portOpen() && panel.task != Task::ClosingOnceSent);
}
