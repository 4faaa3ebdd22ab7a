// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "fake_serial_device.h"
#include "serial/serial_port.h"
#include "window/device_menu.h"
#include "window/start_options.h"
#include "window_test.h"

#include <QGroupBox>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
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
    void start(const DeviceChoice &com1 = {}, const DeviceChoice &com2 = {});
    // The menu as F4 on COM1's OPEN opens it, once the ports are listed: "text", with
    // " [x]" when checked and " (off)" when it cannot be chosen.
    QStringList openMenu();
    DeviceMenu *menu() const { return m_window->findChild<DeviceMenu *>(); }
    void trigger(const QString &startOfText);

    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_settings;
    QString m_moved; // the node the adapter has now, when renumbered
    QList<FakeSerialDevice *> m_created; // gone, but for the last made for a node
    QStringList m_nodes; // of each
    QList<std::shared_ptr<const QList<FakeSerialDevice::Event>>> m_journals; // all COM1 had
    bool m_failNew = false;
    std::atomic<bool> m_listedHere = false;
};

void TestDeviceMenu::start(const DeviceChoice &com1, const DeviceChoice &com2)
{
    m_settings = std::make_unique<QSettings>(m_dir.filePath("settings.conf"), QSettings::IniFormat);
    m_settings->clear();
    PortSystem system;
    // The adapter where the row has put it; never listed on the window's thread.
    system.list = [this] {
        m_listedHere = m_listedHere || QThread::currentThread() == qApp->thread();
        if (m_moved == u"nothing")
            return QList<SystemPort>();
        QList<SystemPort> ports {{"/dev/fake1", "/dev/fake1 — 16550A UART", "/dev/fake1"},
                                 {"/dev/fake2", "/dev/fake2 — 16550A UART", "/dev/fake2"}};
        const QString node = m_moved.isEmpty() ? adapter : m_moved;
        if (m_moved != u"gone")
            ports += {node, node + " — FT232R USB UART (FTDI, serial A50285BI)", adapterIdentity};
        if (m_moved.startsWith(u'/')) // another adapter now has its old node
            ports += {adapter, adapter + " — USB Serial (QinHeng, USB port 1-2)",
                      "usb:1a86:7523:port=1-2:if00", "1-2", "USB Serial"};
        return ports;
    };
    system.create = [this](const QString &device) {
        m_created.append(new FakeSerialDevice(device));
        m_nodes.append(device);
        m_journals.append(m_created.last()->journal());
        if (m_failNew)
            m_created.last()->failNextWith(SerialDevice::Error::NotFound);
        return std::unique_ptr<SerialDevice>(m_created.last());
    };
    system.settings = m_settings.get();
    system.chosen = {com1, com2};
    createWindow(std::move(system));
    if (!com2.device.isEmpty()) { // the window put a device of its own behind COM2
        m_com2 = m_created.takeLast();
        m_nodes.removeLast();
        m_journals.removeLast();
    }
    if (!com1.device.isEmpty()) // and COM1
        m_com1 = m_created.last();
    m_journals.append(m_com1->journal());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
}

void TestDeviceMenu::cleanup()
{
    destroyWindow();
    m_created.clear();
    m_nodes.clear();
    m_journals.clear();
    m_moved.clear();
    m_failNew = false;
    QVERIFY(!m_listedHere);
}

QStringList TestDeviceMenu::openMenu()
{
    QTest::keyClick(button("Command8"), Qt::Key_F4);
    // Until the listed ports are in.
    if (!QTest::qWaitFor([this] {
            return menu() && !menu()->actions()[1]->text().startsWith("Looking")
                && !menu()->actions()[2]->text().startsWith("Looking");
        }))
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
    QTest::newRow("no serial ports") << QStringList {"nothing"} << true;
    QTest::newRow("the built-in default with the other panel") << QStringList {"swapped"} << true;
}

void TestDeviceMenu::entries()
{
    QFETCH(QStringList, clicks);
    QFETCH(bool, choosable);

    const bool absent = clicks.contains("absent");
    const bool swapped = clicks.contains("swapped"); // COM1 has the adapter, COM2 COM1's default
    if (clicks.contains("nothing"))
        m_moved = "nothing";
    start(absent        ? DeviceChoice {"/dev/ttyUSB7", "usb:1a86:7523:port=1-9:if00", "USB Serial"}
              : swapped ? DeviceChoice {adapter, adapterIdentity, adapter + " — FT232R USB UART"}
                        : DeviceChoice(),
          swapped ? DeviceChoice::of("/dev/fake1") : DeviceChoice());
    for (const QString &click : clicks) {
        if (click == u"unsent")
            m_com1->setUnsent(96);
        else if (click == u"closing")
            m_com1->holdLastClosing();
        else if (click.startsWith(u"Command"))
            button(click)->click();
    }
    auto *frame = m_window->findChild<QGroupBox *>("Frame1");
    QCOMPARE(frame->title().endsWith("opening…"), clicks.contains("closing"));
    QCOMPARE(frame->title().endsWith("sending…"), clicks.contains("unsent"));
    QCOMPARE(frame->title().startsWith("COM1 ("), absent || swapped);
    const QString off = choosable ? "" : " (off)";
    QStringList expected = {"Device of COM1"};
    if (m_moved == u"nothing")
        expected += {"No serial ports found (off)", "/dev/fake1 — not present [x]"};
    if (swapped) {
        expected += {"/dev/fake1 — 16550A UART — in use by COM2 (off)", "/dev/fake2 — 16550A UART",
                     adapter + " — FT232R USB UART (FTDI, serial A50285BI) [x]", "&Other device…",
                     "Built-in &default (/dev/fake1) (off)"};
    }
    if (m_moved == u"nothing" || swapped) {
        if (!swapped)
            expected += {"&Other device…", "Built-in &default (/dev/fake1)"};
        QCOMPARE(openMenu(), expected);
        return;
    }
    if (!choosable)
        expected += "Click CLOSE first to choose another device. (off)";
    expected += QString("/dev/fake1 — 16550A UART") + (absent ? "" : " [x]") + off;
    expected += "/dev/fake2 — 16550A UART — in use by COM2 (off)";
    expected += adapter + " — FT232R USB UART (FTDI, serial A50285BI)" + off;
    if (absent)
        expected += "USB Serial — not plugged in [x]";
    expected += {"&Other device…" + off, "Built-in &default (/dev/fake1)" + off};
    QCOMPARE(openMenu(), expected);
}

void TestDeviceMenu::choosing_data()
{
    // Steps: an entry; after "typed:", what is typed; "moved" or "gone": where the adapter is
    // from then on; first, "other" and a device: what COM2 starts with.
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("device"); // COM1's afterwards
    QTest::addColumn<QString>("kept"); // the device the settings keep for COM1
    QTest::addColumn<int>("refusal"); // of the choice
    QTest::addColumn<int>("atOpen"); // what OPEN says: the device fails with 8002

    const QString typed = windows ? "COM9" : "/dev/pts/9";
    QTest::newRow("a listed adapter") << adapter << adapter << adapter << 0 << 8002;
    QTest::newRow("typed") << "typed:" + typed << typed << typed << 0 << 8002;
    if (!windows) // the fakes' names are no COM names
        QTest::newRow("typed, the other's device") << "typed:/dev/fake2"
                                                   << "/dev/fake1"
                                                   << "" << 8005 << 8002;
    QTest::newRow("typed, no serial port")
        << "typed:" + (windows ? "LPT1" : m_dir.filePath("settings.conf")) << "/dev/fake1"
        << "" << 8002 << 8002;
    QTest::newRow("the adapter, then the built-in default") << adapter + ",Built-in"
                                                            << "/dev/fake1"
                                                            << "" << 0 << 8002;
    if (windows) // Windows keeps the adapter's COM name
        return;
    // Not plugged in at OPEN: refused, rather than its old node opened, which may be another's.
    QTest::newRow("the adapter, gone") << adapter + ",gone" << adapter << adapter << 0 << 8002;
    // Plugged back as another node, with another adapter at its old one: found at OPEN and
    // opened there.
    QTest::newRow("the adapter, renumbered") << adapter + ",moved"
                                             << "/dev/ttyUSB1"
                                             << "/dev/ttyUSB1" << 0 << 8002;
    // COM2's adapter is compared by what it is, and followed to its new node.
    const QString others = "other " + adapter + ",moved,";
    QTest::newRow("another adapter at the other's old node")
        << others + adapter + " — USB Serial" << adapter << adapter << 0 << 8002;
    QTest::newRow("typed, the other's adapter at its new node") << others + "typed:/dev/ttyUSB1"
                                                                << "/dev/fake1"
                                                                << "" << 8005 << 8002;
    QTest::newRow("the adapter, moved to the other's node")
        << "other /dev/ttyUSB1," + adapter + ",moved"
        << "/dev/ttyUSB1"
        << "/dev/ttyUSB1" << 0 << 8005;
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
    QFETCH(int, atOpen);

    QStringList steps = entry.split(',');
    DeviceChoice other;
    if (steps.first().startsWith("other ")) {
        const QString device = steps.takeFirst().mid(6);
        other = device == adapter
            ? DeviceChoice {adapter, adapterIdentity, adapter + " — FT232R USB UART"}
            : DeviceChoice::of(device);
    }
    start({}, other);
    for (const QString &step : steps) {
        if (step == u"moved" || step == u"gone") {
            m_moved = step == u"moved" ? "/dev/ttyUSB1" : step;
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
    if (refusal && entry.contains("typed:")) { // offered again, in a dialog the window's width
        openMenu();
        trigger("&Other device");
        QInputDialog *again = nullptr;
        QTRY_VERIFY((again = m_window->findChild<QInputDialog *>()));
        QCOMPARE(again->textValue(), entry.section("typed:", 1));
        QVERIFY(again->width() <= m_window->width());
        again->reject();
    }
    QCOMPARE(status("Label6"), QStringLiteral("未打开"));
    // OPEN fails, on the device the choice put there or on the one it finds at OPEN; an adapter
    // gone is not looked for under its old node.
    // COM1's device: the last made for the node it has, else the one it started with.
    const QString node = m_window->findChild<SerialPort *>("MSComm1")->device();
    const qsizetype made = m_nodes.lastIndexOf(node);
    (made < 0 ? m_com1 : m_created[made])->failNextWith(SerialDevice::Error::NotFound);
    m_failNew = true;
    click("Command8");
    QTRY_VERIFY(m_window->findChild<QMessageBox *>());
    const auto opened = [this] {
        for (const auto &journal : m_journals) {
            for (const FakeSerialDevice::Event &event : *journal) {
                if (event.what == u"open")
                    return true;
            }
        }
        return false;
    };
    QCOMPARE(opened(), m_moved != u"gone" && atOpen == 8002);
    auto *frame = m_window->findChild<QGroupBox *>("Frame1");
    const QString named = "COM1 (" + device + ")";
    QVERIFY2(frame->toolTip().contains(named), qPrintable(frame->toolTip()));
    QVERIFY(frame->accessibleDescription().contains(named));
    const QString said = m_window->findChild<QMessageBox *>()->text();
    QVERIFY2(said.contains(named) && said.contains(QString::number(atOpen))
                 && said.contains("press F4"),
             qPrintable(said));
    QCOMPARE(frame->title(),
             device == u"/dev/fake1" ? "COM1" : "COM1 (" + StartOptions::shortName(device) + ")");
    QSettings settings(m_dir.filePath("settings.conf"), QSettings::IniFormat);
    QCOMPARE(settings.value("COM1/device").toString(), kept);
    const QString name = settings.value("COM1/name").toString();
    QVERIFY2(name.isEmpty() || name.startsWith(kept + " — "), qPrintable(name));
}

QTEST_MAIN(TestDeviceMenu)
#include "tst_devicemenu.moc"
