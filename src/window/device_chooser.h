// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include "serial/failure.h"
#include "window/device_choice.h"

#include <QObject>

class PanelFrame;
class PortListing;
class QGroupBox;
class QPoint;
struct PortPanel;
struct PortSystem;

// What the user chose for one panel's port: the device menu that the panel's frame offers
// (PanelFrame), a device typed by name, the setting that keeps the choice, and the adapter found
// again at OPEN under the node the system gives it now.
class DeviceChooser : public QObject
{
    Q_OBJECT

public:
    DeviceChooser(PortPanel &panel, QGroupBox *frame, const PortSystem &system, int index,
                  QObject *parent);

    void setOther(DeviceChooser *other) { m_other = other; }
    const DeviceChoice &choice() const { return m_choice; }
    // Lists the ports for OPEN, off the window's thread.
    PortListing *listing() const { return m_listing; }

    // At OPEN: true when the port's device is known now. An adapter kept by what it is is
    // looked for first, the panel FindingDevice meanwhile; foundIn() goes on with the list.
    bool findAgain();
    // Puts the adapter where the list has it behind the port, and true; false when the panel no
    // longer looks for it. Refuses an adapter not there, one that cannot be told apart from
    // another, and a device the other panel has.
    bool foundIn(const QList<SystemPort> &ports);
    // Follows an adapter kept by what it is to the node the list has it at now, while the port is
    // closed and left alone.
    void refresh(const QList<SystemPort> &ports);
    // Shows on the panel's frame whether its port waits for the system, or for sent text.
    void showTask();

signals:
    void failed(const Failure &failure);

private:
    void showMenu(const QPoint &at);
    bool choose(const DeviceChoice &choice);
    Failure othersDevice(const QString &device) const;
    void askForDevice();
    void take(const QString &typed);
    void use(const QString &device);
    void remember();
    void follow(const SystemPort &port);
    // Refuses a node that the other panel's port has, or that its choice has among ports.
    void refuseTheOthers(const QString &node, const QList<SystemPort> &ports) const;

    PortPanel &m_panel;
    QGroupBox *const m_frame;
    const PortSystem &m_system;
    const int m_index;
    DeviceChooser *m_other = nullptr;
    DeviceChoice m_choice;
    PortListing *const m_listing;
    PanelFrame *const m_view;
    QString m_typed; // refused, for a second try
};
