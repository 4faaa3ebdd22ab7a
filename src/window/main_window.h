// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include "ports/port_panel.h"

#include <QWidget>

#include <functional>
#include <map>
#include <memory>

class Failure;
class QPushButton;
class SerialDevice;

// Form1: the two port panels, COM1 above COM2, each bound to its own serial component.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    MainWindow(std::unique_ptr<SerialDevice> com1, std::unique_ptr<SerialDevice> com2,
               QWidget *parent = nullptr);
    ~MainWindow() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildPanel(PortPanel &panel, int index, SerialPort *comm,
                    std::map<int, QWidget *> &tabOrder);
    void bindPanel(PortPanel &panel, QPushButton *close, QPushButton *send, QPushButton *read);
    void run(PortPanel &panel, const std::function<void()> &operation);
    void report(const Failure &failure);

    PortPanels m_panels;
};
