// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "window_test.h"

#include "fake_serial_device.h"
#include "window/main_window.h"
#include "window/text_box.h"

#include <QLabel>
#include <QPushButton>

void WindowTest::createWindow(PortSystem system)
{
    auto com1 = std::make_unique<FakeSerialDevice>(QStringLiteral("/dev/fake1"));
    auto com2 = std::make_unique<FakeSerialDevice>(QStringLiteral("/dev/fake2"));
    m_com1 = com1.get();
    m_com2 = com2.get();
    m_window = new MainWindow(std::move(com1), std::move(com2), std::move(system));
}

void WindowTest::destroyWindow()
{
    delete m_window;
    m_window = nullptr;
    m_com1 = nullptr;
    m_com2 = nullptr;
}

QPushButton *WindowTest::button(const QString &name) const
{
    return m_window->findChild<QPushButton *>(name);
}

void WindowTest::click(const QString &name) const
{
    button(name)->click();
}

QString WindowTest::status(const QString &name) const
{
    return m_window->findChild<QLabel *>(name)->text();
}

TextBox *WindowTest::box(const QString &name) const
{
    return m_window->findChild<TextBox *>(name);
}
