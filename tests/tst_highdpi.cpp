// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "fake_serial_device.h"
#include "window/main_window.h"
#include "window/status_line.h"
#include "window_test.h"

#include <QGroupBox>
#include <QPushButton>
#include <QtTest>

// The window at the device pixel ratio this run was started with (QT_SCALE_FACTOR): the designed
// geometry in logical pixels, rendered at full resolution, and no caption clipped.
class TestHighDpi : public WindowTest
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void rendersAtTheRatio();
    void captionsFit_data();
    void captionsFit();
};

void TestHighDpi::init()
{
    createWindow();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TestHighDpi::cleanup()
{
    destroyWindow();
}

void TestHighDpi::rendersAtTheRatio()
{
    const qreal ratio = qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble();
    QCOMPARE(m_window->devicePixelRatio(), ratio);
    QCOMPARE(m_window->size(), QSize(296, 460));
    QCOMPARE(m_window->findChild<QWidget *>("Frame2")->geometry(), QRect(8, 232, 281, 221));
    QCOMPARE(m_window->findChild<QWidget *>("Command4")->geometry(), QRect(208, 100, 65, 21));

    const QImage image = m_window->grab().toImage();
    QCOMPARE(image.size(), (QSizeF(296, 460) * ratio).toSize());
    QCOMPARE(image.devicePixelRatio(), ratio);
}

void TestHighDpi::captionsFit_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");

    QTest::newRow("status caption") << "Label5"
                                    << "COM1状态";
    QTest::newRow("send caption") << "Label1"
                                  << "发送缓冲区";
    QTest::newRow("receive caption") << "Label4"
                                     << "接收缓冲区";
    QTest::newRow("longest status") << "Label8"
                                    << "已打开  115200,n,8,1";
    QTest::newRow("widest speed") << "Command10"
                                  << "115200";
    QTest::newRow("CLOSE") << "Command20"
                           << "CLOSE";
    QTest::newRow("group box") << "Frame1"
                               << "COM1";
}

void TestHighDpi::captionsFit()
{
    QFETCH(QString, control);
    QFETCH(QString, text);

    QWidget *widget = m_window->findChild<QWidget *>(control);
    if (auto *status = qobject_cast<StatusLine *>(widget))
        status->setText(text);
    const QFontMetricsF metrics(widget->font());
    const QRectF needed = metrics.boundingRect(text);
    // Buttons keep a few pixels of frame on each side; labels may use their whole rectangle.
    const int frame = qobject_cast<QPushButton *>(widget) ? 4 : 0;
    const QRect room = widget->contentsRect().adjusted(frame, 0, -frame, 0);
    QVERIFY2(metrics.horizontalAdvance(text) <= room.width(),
             qPrintable(QStringLiteral("%1 wide in %2")
                            .arg(metrics.horizontalAdvance(text))
                            .arg(room.width())));
    QVERIFY2(
        metrics.height() <= widget->height() || needed.height() <= widget->height(),
        qPrintable(QStringLiteral("%1 high in %2").arg(metrics.height()).arg(widget->height())));
}

QTEST_MAIN(TestHighDpi)
#include "tst_highdpi.moc"
