// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QString>

#include <exception>

// The one way a failure travels: a number the user can look up and a description that names
// the port, its device and the cause. Click handlers catch it and show it.
class Failure : public std::exception
{
public:
    enum Number {
        InvalidSettings = 380,
        InvalidText = InvalidSettings, // a value the property cannot take, as for settings
        DeviceNotFound = 8002,
        PermissionDenied = 8003,
        PortInUse = 8005,
        SettingsRejected = 8015,
        PortNotOpen = 8018,
        DeviceBusy = 8019, // sent text that the line does not take
        DeviceFailed = 8020,
    };

    Failure(Number number, const QString &description);

    Number number() const { return m_number; }
    QString description() const { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    Number m_number;
    QString m_description;
    QByteArray m_what;
};
