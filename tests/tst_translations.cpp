// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "fake_serial_device.h"
#include "serial/serial_port.h"
#include "window/main_window.h"
#include "window/translations.h"
#include "window_test.h"

#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

namespace {

// The failure of this number, raised by a COM1 on /dev/ttyUSB0 in the language installed now.
QString failureText(int number)
{
    auto device = std::make_unique<FakeSerialDevice>(QStringLiteral("/dev/ttyUSB0"));
    FakeSerialDevice *fake = device.get();
    SerialPort port(QStringLiteral("COM1"), std::move(device));
    const QHash<int, SerialDevice::Error> deviceErrors = {
        {Failure::DeviceNotFound, SerialDevice::Error::NotFound},
        {Failure::PermissionDenied, SerialDevice::Error::PermissionDenied},
        {Failure::PortInUse, SerialDevice::Error::InUse},
        {Failure::SettingsRejected, SerialDevice::Error::Unsupported},
        {Failure::DeviceFailed, SerialDevice::Error::Io},
    };
    try {
        if (number == Failure::InvalidSettings) {
            port.setSettings(QStringLiteral("9600,x,8,1"));
        } else if (number == Failure::PortNotOpen) {
            port.setOutput(QStringLiteral("x"));
        } else {
            port.setPortOpen(true);
            fake->failNextWith(deviceErrors.value(number));
            port.setOutput(QStringLiteral("x"));
        }
    } catch (const Failure &failure) {
        if (failure.number() == number)
            return failure.description();
    }
    return QString();
}

const QRegularExpression chinese(QStringLiteral("[\\x{4e00}-\\x{9fff}]"));

} // namespace

// The messages in the user's language; the window's designed texts the same in every language.
class TestTranslations : public WindowTest
{
    Q_OBJECT

private slots:
    void cleanup();

    void failureMessages_data();
    void failureMessages();
    void designedTextsStay_data();
    void designedTextsStay();
    void messageBoxInChinese();
};

void TestTranslations::cleanup()
{
    destroyWindow();
    installTranslations(QLocale::c());
}

void TestTranslations::failureMessages_data()
{
    QTest::addColumn<int>("number");
    for (const int number : {380, 8002, 8003, 8005, 8015, 8018, 8020})
        QTest::addRow("%d", number) << number;
}

void TestTranslations::failureMessages()
{
    QFETCH(int, number);

    installTranslations(QLocale::c());
    const QString source = failureText(number);
    QVERIFY(!source.isEmpty());
    installTranslations(QLocale(QStringLiteral("en_US")));
    QCOMPARE(failureText(number), source);

    installTranslations(QLocale(QStringLiteral("zh_CN")));
    const QString translated = failureText(number);
    QVERIFY2(translated != source && translated.contains(chinese), qPrintable(translated));
    QStringList verbatim = {"COM1", "/dev/ttyUSB0"};
    if (number == Failure::PermissionDenied)
        verbatim += "sudo usermod -aG dialout $USER";
    for (const QString &text : verbatim)
        QVERIFY2(translated.contains(text), qPrintable(translated));
}

void TestTranslations::designedTextsStay_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("openName");

    QTest::newRow("zh_CN") << "zh_CN" << QString::fromUtf8("COM1 OPEN（打开串口）");
    QTest::newRow("en_US") << "en_US"
                           << "COM1 OPEN";
    QTest::newRow("C") << "C"
                       << "COM1 OPEN";
}

void TestTranslations::designedTextsStay()
{
    QFETCH(QString, locale);
    QFETCH(QString, openName);

    const auto texts = [this] {
        click("Command8"); // both status texts
        QStringList all = {m_window->windowTitle()};
        for (const auto *frame : m_window->findChildren<QGroupBox *>())
            all += frame->title();
        for (const auto *button : m_window->findChildren<QPushButton *>())
            all += button->text();
        for (const auto *label : m_window->findChildren<QLabel *>())
            all += label->text();
        return all;
    };
    createWindow();
    const QStringList designed = texts();
    destroyWindow();
    QVERIFY(designed.contains(QStringLiteral("已打开  9600,n,8,1")));
    QVERIFY(designed.contains(QStringLiteral("未打开")));

    installTranslations(QLocale(locale));
    createWindow();
    QCOMPARE(texts(), designed);
    // What the design leaves to us is translated: what a screen reader says.
    QCOMPARE(button("Command8")->accessibleName(), openName);
}

void TestTranslations::messageBoxInChinese()
{
    installTranslations(QLocale(QStringLiteral("zh_CN")));
    createWindow();
    m_com1->failNextWith(SerialDevice::Error::PermissionDenied);
    click("Command8");

    auto *box = m_window->findChild<QMessageBox *>();
    QVERIFY(box);
    QCOMPARE(box->button(QMessageBox::Ok)->text(), QString::fromUtf8("确定"));
    QVERIFY2(box->text().startsWith(QString::fromUtf8("错误 8003")), qPrintable(box->text()));
    QCOMPARE(box->windowTitle(), QStringLiteral("Korvane Change Speed Demo V1.0"));
}

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
