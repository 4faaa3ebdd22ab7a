// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "window/main_window.h"

#include "ports/delay.h"
#include "ports/drain.h"
#include "ports/open_close.h"
#include "ports/send_read.h"
#include "ports/speed_change.h"
#include "serial/serial_device.h"
#include "serial/serial_port.h"
#include "window/control_table.h"
#include "window/device_chooser.h"
#include "window/failure_box.h"
#include "window/status_line.h"
#include "window/text_box.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <map>

namespace {

QRect pixels(int left, int top, int width, int height)
{
    return {left / twipsPerPixel, top / twipsPerPixel, width / twipsPerPixel,
            height / twipsPerPixel};
}

QWidget *createControl(const ControlDesign &design, int index, QGroupBox *frame)
{
    const QString text = QString::fromUtf8(design.texts[index]);
    QWidget *control = nullptr;
    switch (design.kind) {
    case ControlDesign::Button:
        control = new QPushButton(text, frame);
        break;
    case ControlDesign::Label:
        control = new QLabel(text, frame);
        break;
    case ControlDesign::TextBox: {
        auto *box = new TextBox(frame);
        box->setText(text);
        control = box;
        break;
    }
    case ControlDesign::Status:
        control = new StatusLine(frame);
        break;
    }
    control->setAccessibleName(
        frame->title() + u' '
        + QCoreApplication::translate("ControlDesign", design.accessibleRole));
    control->setObjectName(QString::fromLatin1(design.names[index]));
    control->setGeometry(pixels(design.left, design.top, design.width, design.height));
    control->setEnabled(design.enabled);
    return control;
}

} // namespace

MainWindow::MainWindow(std::unique_ptr<SerialDevice> com1, std::unique_ptr<SerialDevice> com2,
                       PortSystem system, QWidget *parent)
    : QWidget(parent)
    , m_system(std::move(system))
{
    const QString devices[2] = {com1->location(), com2->location()};
    for (int port = 0; port < 2; ++port) {
        if (m_system.chosen[port].device.isEmpty())
            m_system.chosen[port] = DeviceChoice::of(devices[port]);
        if (m_system.builtIn[port].isEmpty())
            m_system.builtIn[port] = devices[port];
    }
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Korvane Change Speed Demo V1.0"));
    setFixedSize(clientWidthTwips / twipsPerPixel, clientHeightTwips / twipsPerPixel);
    // The designed labels are 13 pixels high and sized for a compact CJK face; the usual 12 pixel
    // Latin-first default would clip "COM1状态".
    QFont captions = font();
    captions.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("SimSun")});
    captions.setPixelSize(11);
    setFont(captions);

    auto *comm1 = new SerialPort(QStringLiteral("COM1"), std::move(com1), this);
    comm1->setObjectName(QStringLiteral("MSComm1"));
    auto *comm2 = new SerialPort(QStringLiteral("COM2"), std::move(com2), this);
    comm2->setObjectName(QStringLiteral("MSComm2"));

    // Keyboard focus follows the designed tab indexes across both panels.
    std::map<int, QWidget *> tabOrder;
    buildPanel(m_panels.port1, 0, comm1, tabOrder);
    buildPanel(m_panels.port2, 1, comm2, tabOrder);
    m_choosers[0]->setOther(m_choosers[1]);
    m_choosers[1]->setOther(m_choosers[0]);
    QWidget *previous = nullptr;
    for (const auto &[tabIndex, control] : tabOrder) {
        if (previous)
            setTabOrder(previous, control);
        previous = control;
    }

    findChild<QPushButton *>(QStringLiteral("Command8"))->setFocus();
    Status(m_panels);
}

MainWindow::~MainWindow() = default;

// Closing the window ends the program at once, even in the middle of a speed change.
void MainWindow::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    // Whatever a panel waited for to go on, nothing more of it reaches the line, even should a
    // wait end before the event loop does.
    EndTask(m_panels.port1);
    EndTask(m_panels.port2);
    QCoreApplication::exit(0);
}

void MainWindow::buildPanel(PortPanel &panel, int index, SerialPort *comm,
                            std::map<int, QWidget *> &tabOrder)
{
    const FrameDesign &frameSpec = frameDesign[index];
    auto *frame = new QGroupBox(QString::fromLatin1(frameSpec.caption), this);
    frame->setObjectName(QString::fromLatin1(frameSpec.name));
    frame->setGeometry(pixels(frameSpec.left, frameSpec.top, frameSpec.width, frameSpec.height));

    std::array<QWidget *, ControlDesign::RoleCount> controls {};
    for (int role = 0; role < ControlDesign::RoleCount; ++role) {
        controls[role] = createControl(panelDesign[role], index, frame);
        if (controls[role]->focusPolicy() != Qt::NoFocus)
            tabOrder[panelDesign[role].tabIndexes[index]] = controls[role];
    }

    const auto button = [&controls](int role) {
        return qobject_cast<QPushButton *>(controls[role]);
    };
    panel.comm = comm;
    panel.drain = new Drain(comm, this);
    panel.delay = new Delay(this);
    for (int row = 0; row < 5; ++row)
        panel.speedCommands[row] = button(ControlDesign::Speed115200 + row);
    panel.openCommand = button(ControlDesign::OpenCommand);
    panel.sendBox = qobject_cast<TextBox *>(controls[ControlDesign::SendBox]);
    panel.receiveBox = qobject_cast<TextBox *>(controls[ControlDesign::ReceiveBox]);
    panel.statusLine = qobject_cast<StatusLine *>(controls[ControlDesign::StatusLine]);

    // Each caption names the control below or beside it, for screen readers.
    const auto caption = [&controls](int role) {
        return qobject_cast<QLabel *>(controls[role]);
    };
    caption(ControlDesign::SendCaption)->setBuddy(panel.sendBox);
    caption(ControlDesign::ReceiveCaption)->setBuddy(panel.receiveBox);
    caption(ControlDesign::StatusCaption)->setBuddy(panel.statusLine);

    m_choosers[index] = new DeviceChooser(panel, frame, m_system, index, this);
    connect(m_choosers[index], &DeviceChooser::failed, this, &MainWindow::report);
    bindPanel(panel, index, button(ControlDesign::CloseCommand), button(ControlDesign::SendCommand),
              button(ControlDesign::ReadCommand));
}

void MainWindow::bindPanel(PortPanel &panel, int index, QPushButton *close, QPushButton *send,
                           QPushButton *read)
{
    const auto on = [this, &panel](auto *sender, auto signal, auto operation) {
        connect(sender, signal, this, [this, &panel, operation](auto... arguments) {
            run(panel, [&] { operation(panel, arguments...); });
        });
    };
    // OPEN opens the chosen adapter under the node it has now.
    on(panel.openCommand, &QPushButton::clicked, [this, index](PortPanel &panel, bool) {
        if (m_choosers[index]->findAgain())
            Open(panel, m_panels);
    });
    on(m_choosers[index]->listing(), &PortListing::listed,
       [this, index](PortPanel &panel, const QList<SystemPort> &ports) {
           if (m_choosers[index]->foundIn(ports))
               Open(panel, m_panels);
       });
    on(close, &QPushButton::clicked, [this](PortPanel &panel, bool) { Close(panel, m_panels); });
    for (int row = 0; row < 5; ++row) {
        on(panel.speedCommands[row], &QPushButton::clicked,
           [row](PortPanel &panel, bool) { ChangeSpeed(panel, row); });
    }
    on(send, &QPushButton::clicked, [](PortPanel &panel, bool) { Send(panel); });
    on(read, &QPushButton::clicked, [](PortPanel &panel, bool) { Read(panel); });
    // A device lost is let go and reported at once, so that the panel shows the truth and the
    // adapter, plugged in again, comes back under its old name. A speed change running on it
    // then ends without a word more.
    on(panel.comm, &SerialPort::deviceFailed, [](PortPanel &panel) { panel.comm->checkDevice(); });
    on(panel.comm, &SerialPort::readyToOpen,
       [this](PortPanel &panel) { ReadyToOpen(panel, m_panels); });
    // What a task waited for has come: each operation goes on with its own.
    on(panel.drain, &Drain::finished, [this](PortPanel &panel, Sent sent) {
        CloseOnceSent(panel, sent, m_panels);
        SpeedChangeSent(panel, sent);
    });
    on(panel.delay, &Delay::finished,
       [this](PortPanel &panel) { SpeedChangeDelayed(panel, m_panels); });
}

// Every handler of a panel runs through here: a failure stops the operation at its step, ends
// whatever the panel was doing, is shown, and the program goes on with both panels showing the
// ports' real state.
void MainWindow::run(PortPanel &panel, const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const Failure &failure) {
        EndTask(panel);
        report(failure);
        UpdateCommands(m_panels.port1);
        UpdateCommands(m_panels.port2);
        Status(m_panels);
    }
    for (DeviceChooser *chooser : m_choosers)
        chooser->showTask();
}

void MainWindow::report(const Failure &failure)
{
    // What another device would mend says where to choose one.
    const Failure::Number number = failure.number();
    const bool device = number == Failure::DeviceNotFound || number == Failure::PermissionDenied
        || number == Failure::PortInUse;
    const QString hint = tr("To use another device, right-click the panel or press F4.");
    // Shown without a nested event loop, so that the click handler ends at once.
    (new FailureBox(device ? Failure(number, failure.description() + u'\n' + hint) : failure, this))
        ->open();
}
