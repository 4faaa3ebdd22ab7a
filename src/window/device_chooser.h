// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include "serial/failure.h"
#include "window/device_choice.h"

#include <QObject>

class QGroupBox;
class QPoint;
struct PortPanel;
struct PortSystem;

// What the user chose for one panel's port: the device menu on the panel's frame (a right-click
// on the frame, or F4 or Alt+Down wherever in the panel the focus is), a device typed by name,
// the setting that keeps the choice, and the adapter found again at OPEN under the node the
// system gives it now. The frame's tooltip and accessible description name the device and say
// that the menu is there.
class DeviceChooser : public QObject
{
    Q_OBJECT

public:
    DeviceChooser(PortPanel &panel, QGroupBox *frame, const PortSystem &system, int index,
                  QObject *parent);

    void setOther(const DeviceChooser *other) { m_other = other; }
    const DeviceChoice &choice() const { return m_choice; }
    // Before OPEN: the port's device becomes the node that the chosen adapter has now, when the
    // system has it under another.
    void findAgain();

signals:
    void failed(const Failure &failure);

private:
    void showMenu(const QPoint &at);
    void choose(const DeviceChoice &choice);
    void askForDevice();
    void take(const QString &typed);
    void use(const QString &device);
    void remember();

    PortPanel &m_panel;
    QGroupBox *const m_frame;
    const PortSystem &m_system;
    const int m_index;
    const DeviceChooser *m_other = nullptr;
    DeviceChoice m_choice;
};
