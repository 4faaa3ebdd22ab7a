// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include "ports/port_panel.h"
#include "serial/listing/port_listing.h"
#include "serial/serial_device.h"
#include "window/device_choice.h"

#include <QWidget>

#include <array>
#include <functional>
#include <map>
#include <memory>

class DeviceChooser;
class Failure;
class QPushButton;
class QSettings;

// How the window reaches the system's serial ports beyond the two devices it starts with, for
// the user to choose another for each panel. The program's own are the system's; tests give
// their own.
struct PortSystem
{
    // The ports there are now: called away from the window's thread.
    PortListing::Lister list = [] {
        return systemPorts();
    };
    std::function<std::unique_ptr<SerialDevice>(const QString &device)> create
        = SerialDevice::create;
    // Where the user's choices are kept; nothing is kept without it.
    QSettings *settings = nullptr;
    // The devices the program was built with, and what each panel has at start: when empty,
    // the device the window is given.
    std::array<QString, 2> builtIn;
    std::array<DeviceChoice, 2> chosen;
};

// Form1: the two port panels, COM1 above COM2, each bound to its own serial component.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    MainWindow(std::unique_ptr<SerialDevice> com1, std::unique_ptr<SerialDevice> com2,
               PortSystem system = {}, QWidget *parent = nullptr);
    ~MainWindow() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildPanel(PortPanel &panel, int index, SerialPort *comm,
                    std::map<int, QWidget *> &tabOrder);
    void bindPanel(PortPanel &panel, int index, QPushButton *close, QPushButton *send,
                   QPushButton *read);
    void run(PortPanel &panel, const std::function<void()> &operation);
    void report(const Failure &failure);

    PortSystem m_system;
    PortPanels m_panels;
    std::array<DeviceChooser *, 2> m_choosers {};
};
