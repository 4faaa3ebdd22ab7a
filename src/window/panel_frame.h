// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QObject>
#include <QString>

class QGroupBox;
class QPoint;

// What a panel's frame tells of the device behind the panel's port, and the ways from it to the
// device menu. The caption stays the designed "COM1" while the port has its built-in device;
// another device is named after it ("COM1 (ttyUSB0)"), and an opening that waits for the system,
// or a CLOSE or speed change that waits for sent text to leave the line, says so, with a busy
// cursor over the panel. The tooltip names the device as the menu does. A
// right-click on the frame, F4 or Alt+Down anywhere in the panel, and an entry in the text boxes'
// own context menus ask for the menu.
class PanelFrame : public QObject
{
    Q_OBJECT

public:
    PanelFrame(QGroupBox *frame, const QString &builtIn, QObject *parent);

    // The device behind the port ("/dev/ttyUSB0"), the port as messages name it, and how the
    // system's list of ports names the device (empty when it does not).
    void showDevice(const QString &device, const QString &displayName, const QString &listedName);
    enum class Waiting { No, Opening, Sending };
    void showWaiting(Waiting waiting);

signals:
    void menuWanted(const QPoint &at);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showCaption();

    QGroupBox *const m_frame;
    const QString m_port; // "COM1"
    const QString m_builtIn;
    QString m_device;
    Waiting m_waiting = Waiting::No;
};
