// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

// How the serial component tells what went wrong: a Failure that names the port, its device and
// the cause, in the user's words.
#include "serial/serial_port.h"

Failure SerialPort::deviceFailure(const QString &action)
{
    const Failure failure = describeDeviceFailure(action);
    // A device that stopped working stays closed until the user opens it again, so that the
    // panel shows what the line really is. What it had received is kept for the next Input.
    if (failure.number() == Failure::DeviceFailed && m_open) {
        m_unread += m_decoder.decode(m_device->readAll(), true);
        m_device->close();
        m_open = false;
        m_sentBy = 0;
    }
    return failure;
}

QString SerialPort::systemWords() const
{
    const QString system = m_device->errorString();
    //: The system's own words for a failure, appended to a message.
    return system.isEmpty() ? QString() : tr(" (%1)").arg(system);
}

Failure SerialPort::describeDeviceFailure(const QString &action) const
{
    const QString detail = systemWords();
    switch (m_device->error()) {
    case SerialDevice::Error::NotFound:
        return Failure(Failure::DeviceNotFound,
                       tr("%1 could not %2: the device does not exist. Check that the adapter is "
                          "plugged in.")
                           .arg(displayName(), action));
    case SerialDevice::Error::PermissionDenied:
        return Failure(Failure::PermissionDenied,
                       tr("%1 could not %2: permission denied. On Linux, add your user to the "
                          "dialout group (sudo usermod -aG dialout $USER) and log in again.")
                           .arg(displayName(), action));
    case SerialDevice::Error::InUse:
        return Failure(Failure::PortInUse,
                       tr("%1 could not %2: the port is in use by another program. Close that "
                          "program and try again.")
                           .arg(displayName(), action));
    case SerialDevice::Error::Unsupported:
        return Failure(Failure::SettingsRejected,
                       tr("%1 could not %2: the device does not support it%3.")
                           .arg(displayName(), action, detail));
    case SerialDevice::Error::None:
    case SerialDevice::Error::Io:
        break;
    }
    return Failure(Failure::DeviceFailed,
                   tr("%1 could not %2: the device stopped working%3. It may have been unplugged; "
                      "check the device and click OPEN.")
                       .arg(displayName(), action, detail));
}

QString SerialPort::displayName() const
{
    //: The port and its device, as in "COM1 (/dev/ttyS0)".
    return tr("%1 (%2)").arg(m_portName, m_device->location());
}
