// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include "window/main_window.h"

#include <QObject>

class FakeSerialDevice;
class QPushButton;
class TextBox;

// Base of the tests that drive the window: the real window on two recording fake devices,
// "/dev/fake1" for COM1 and "/dev/fake2" for COM2, and the lookups such tests keep needing.
class WindowTest : public QObject
{
protected:
    void createWindow(PortSystem system = {});
    void destroyWindow();

    QPushButton *button(const QString &name) const;
    void click(const QString &name) const;
    QString status(const QString &name) const;
    TextBox *box(const QString &name) const;

    MainWindow *m_window = nullptr;
    FakeSerialDevice *m_com1 = nullptr;
    FakeSerialDevice *m_com2 = nullptr;
};
