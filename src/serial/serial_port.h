#pragma once

#include "serial/failure.h"
#include "serial/line_settings.h"

#include <QObject>
#include <QStringDecoder>
#include <QStringEncoder>

#include <memory>

class SerialDevice;

// The serial communications component of one port, with exactly the operations the window uses:
// PortOpen, RTSEnable, Settings, Output and Input. Every refusal raises a Failure that names the
// port, its device and the cause.
class SerialPort : public QObject
{
    Q_OBJECT

public:
    SerialPort(const QString &portName, std::unique_ptr<SerialDevice> device,
               QObject *parent = nullptr);
    ~SerialPort() override;

    QString portName() const { return m_portName; }

    bool portOpen() const { return m_open; }
    void setPortOpen(bool open);

    void setRTSEnable(bool active);

    QString settings() const { return m_settings; }
    void setSettings(const QString &settings);

    void setOutput(const QString &text);
    QString input();

private:
    void requireOpen(const QString &action) const;
    Failure deviceFailure(const QString &action) const;
    QString where() const;

    const QString m_portName;
    const std::unique_ptr<SerialDevice> m_device;
    bool m_open = false;
    QString m_settings = QStringLiteral("9600,n,8,1");
    LineSettings m_line;
    QStringEncoder m_encoder {QStringConverter::System};
    QStringDecoder m_decoder {QStringConverter::System};
};
