// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "fake_serial_device.h"
#include "serial/serial_port.h"
#include "window/device_menu.h"
#include "window_test.h"

#include <QGroupBox>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const bool windows = QOperatingSystemVersion::currentType() == QOperatingSystemVersion::Windows;
const QString adapter = windows ? "COM7" : "/dev/ttyUSB0";
const QString adapterIdentity = windows ? "COM7" : "usb:0403:6001:serial=A50285BI:if00";

} // namespace

// Each panel's device menu, on a listing and devices of the test's own: what it offers in each
// state of the port, and what choosing does to the panel, its messages and the user's settings.
class TestDeviceMenu : public WindowTest
{
    Q_OBJECT

private slots:
    void cleanup();
    void entries_data();
    void entries();
    void choosing_data();
    void choosing();

private:
    void start(const DeviceChoice &com1 = {});
    // The menu as F4 on COM1's OPEN opens it, once the ports are listed: "text", with
    // " [x]" when checked and " (off)" when it cannot be chosen.
    QStringList openMenu();
    DeviceMenu *menu() const { return m_window->findChild<DeviceMenu *>(); }
    void trigger(const QString &startOfText);

    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_settings;
    QString m_moved; // the node the adapter has now, when renumbered
    QList<FakeSerialDevice *> m_created; // for COM1, the last is the one it has
    QList<std::shared_ptr<const QList<FakeSerialDevice::Event>>> m_journals; // all COM1 had
    bool m_failNew = false;
};

void TestDeviceMenu::start(const DeviceChoice &com1)
{
    m_settings = std::make_unique<QSettings>(m_dir.filePath("settings.conf"), QSettings::IniFormat);
    m_settings->clear();
    PortSystem system;
    system.list = [] {
        return QList<SystemPort> {
            {"/dev/fake1", "/dev/fake1 — 16550A UART", "/dev/fake1"},
            {"/dev/fake2", "/dev/fake2 — 16550A UART", "/dev/fake2"},
            {adapter, adapter + " — FT232R USB UART (FTDI, serial A50285BI)", adapterIdentity}};
    };
    system.find = [this](const QString &identity) {
        if (identity != adapterIdentity)
            return std::optional(identity);
        if (m_moved == u"gone")
            return std::optional<QString>();
        return std::optional(m_moved.isEmpty() ? adapter : m_moved);
    };
    system.create = [this](const QString &device) {
        m_created.append(new FakeSerialDevice(device));
        m_journals.append(m_created.last()->journal());
        if (m_failNew)
            m_created.last()->failNextWith(SerialDevice::Error::NotFound);
        return std::unique_ptr<SerialDevice>(m_created.last());
    };
    system.settings = m_settings.get();
    system.chosen[0] = com1;
    createWindow(std::move(system));
    if (!com1.device.isEmpty()) // the window put a device of its own behind COM1
        m_com1 = m_created.last();
    m_journals.append(m_com1->journal());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
}

void TestDeviceMenu::cleanup()
{
    destroyWindow();
    m_created.clear();
    m_journals.clear();
    m_moved.clear();
    m_failNew = false;
}

QStringList TestDeviceMenu::openMenu()
{
    QTest::keyClick(button("Command8"), Qt::Key_F4);
    // Until the listed ports are in.
    if (!QTest::qWaitFor([this] { return menu() && menu()->actions().size() > 6; }))
        return {};
    QStringList entries;
    for (const QAction *action : menu()->actions()) {
        if (action->isVisible() && !action->text().isEmpty()) // sections, not separators
            entries += action->text() + (action->isChecked() ? " [x]" : "")
                + (action->isEnabled() ? "" : " (off)");
    }
    return entries;
}

void TestDeviceMenu::trigger(const QString &startOfText)
{
    for (QAction *action : menu()->actions()) {
        if (action->text().startsWith(startOfText))
            return action->trigger();
    }
    QFAIL(qPrintable("no entry " + startOfText));
}

void TestDeviceMenu::entries_data()
{
    QTest::addColumn<QStringList>("clicks"); // COM1 to the state
    QTest::addColumn<bool>("choosable");

    QTest::newRow("closed") << QStringList() << true;
    QTest::newRow("open") << QStringList {"Command8"} << false;
    QTest::newRow("closing once sent") << QStringList {"Command8", "unsent", "Command9"} << false;
    QTest::newRow("changing speed") << QStringList {"Command8", "Command10"} << false;
    QTest::newRow("opening") << QStringList {"closing", "Command8"} << false;
    QTest::newRow("an adapter not plugged in") << QStringList {"absent"} << true;
}

void TestDeviceMenu::entries()
{
    QFETCH(QStringList, clicks);
    QFETCH(bool, choosable);

    const bool absent = clicks.contains("absent");
    start(absent ? DeviceChoice {"/dev/ttyUSB7", "usb:1a86:7523:port=1-9:if00", "USB Serial"}
                 : DeviceChoice());
    for (const QString &click : clicks) {
        if (click == u"unsent")
            m_com1->setUnsent(96);
        else if (click == u"closing")
            m_com1->holdLastClosing();
        else if (click.startsWith(u"Command"))
            button(click)->click();
    }
    const QString off = choosable ? "" : " (off)";
    QStringList expected = {"Device of COM1"};
    if (!choosable)
        expected += "Click CLOSE first to choose another device. (off)";
    expected += QString("/dev/fake1 — 16550A UART") + (absent ? "" : " [x]") + off;
    expected += "/dev/fake2 — 16550A UART — in use by COM2 (off)";
    expected += adapter + " — FT232R USB UART (FTDI, serial A50285BI)" + off;
    if (absent)
        expected += "USB Serial — not plugged in [x] (off)";
    expected += {"&Other device…" + off, "Built-in &default (/dev/fake1)" + off};
    QCOMPARE(openMenu(), expected);
}

void TestDeviceMenu::choosing_data()
{
    QTest::addColumn<QString>("entry"); // or, after "typed:", what is typed
    QTest::addColumn<QString>("device"); // COM1's afterwards
    QTest::addColumn<QString>("kept"); // the device the settings keep for COM1
    QTest::addColumn<int>("refusal");

    const QString typed = windows ? "COM9" : "/dev/pts/9";
    QTest::newRow("a listed adapter") << adapter << adapter << adapter << 0;
    QTest::newRow("typed") << "typed:" + typed << typed << typed << 0;
    if (!windows) // the fakes' names are no COM names
        QTest::newRow("typed, the other's device") << "typed:/dev/fake2"
                                                   << "/dev/fake1"
                                                   << "" << 8005;
    QTest::newRow("typed, no serial port")
        << "typed:" + (windows ? "LPT1" : m_dir.filePath("settings.conf")) << "/dev/fake1"
        << "" << 8002;
    QTest::newRow("the adapter, then the built-in default") << adapter + ",Built-in"
                                                            << "/dev/fake1"
                                                            << "" << 0;
    // Plugged back as another node, it is found at OPEN and opened there.
    // Not plugged in at OPEN: refused, rather than its old node opened, which may be another's.
    if (!windows)
        QTest::newRow("the adapter, gone") << adapter + ",gone" << adapter << adapter << 0;
    if (!windows) // Windows keeps the adapter's COM name
        QTest::newRow("the adapter, renumbered") << adapter + ",moved"
                                                 << "/dev/ttyUSB1"
                                                 << "/dev/ttyUSB1" << 0;
}

// A choice holds at once: the panel's tooltip, its accessible description and every message
// name the device, the user's settings keep it, and the status line still reads 未打开. A
// device refused keeps everything as it was.
void TestDeviceMenu::choosing()
{
    QFETCH(QString, entry);
    QFETCH(QString, device);
    QFETCH(QString, kept);
    QFETCH(int, refusal);

    start();
    for (const QString &step : entry.split(',')) {
        if (step == u"moved" || step == u"gone") {
            m_moved = step == u"moved" ? device : step;
            continue;
        }
        openMenu();
        if (!step.startsWith("typed:")) {
            trigger(step);
            continue;
        }
        trigger("&Other device");
        QInputDialog *dialog = nullptr;
        QTRY_VERIFY((dialog = m_window->findChild<QInputDialog *>()));
        dialog->setTextValue(step.mid(6));
        dialog->accept();
    }
    if (refusal) {
        QMessageBox *box = nullptr;
        QTRY_VERIFY((box = m_window->findChild<QMessageBox *>()));
        QVERIFY2(box->text().contains(QString::number(refusal)), qPrintable(box->text()));
        box->close();
        QTRY_VERIFY(!m_window->findChild<QMessageBox *>());
    }
    QCOMPARE(status("Label6"), QStringLiteral("未打开"));
    // OPEN fails, on the device the choice put there or on the one it finds at OPEN; an adapter
    // gone is not looked for under its old node.
    (m_created.isEmpty() ? m_com1 : m_created.last())->failNextWith(SerialDevice::Error::NotFound);
    m_failNew = true;
    click("Command8");
    const auto opened = [this] {
        for (const auto &journal : m_journals) {
            for (const FakeSerialDevice::Event &event : *journal) {
                if (event.what == u"open")
                    return true;
            }
        }
        return false;
    };
    QCOMPARE(opened(), m_moved != u"gone");
    auto *frame = m_window->findChild<QGroupBox *>("Frame1");
    const QString named = "COM1 (" + device + ")";
    QVERIFY2(frame->toolTip().contains(named), qPrintable(frame->toolTip()));
    QVERIFY(frame->accessibleDescription().contains(named));
    QTRY_VERIFY(m_window->findChild<QMessageBox *>());
    QVERIFY2(m_window->findChild<QMessageBox *>()->text().contains(named),
             qPrintable(m_window->findChild<QMessageBox *>()->text()));
    QSettings settings(m_dir.filePath("settings.conf"), QSettings::IniFormat);
    QCOMPARE(settings.value("COM1/device").toString(), kept);
}

QTEST_MAIN(TestDeviceMenu)
#include "tst_devicemenu.moc"
