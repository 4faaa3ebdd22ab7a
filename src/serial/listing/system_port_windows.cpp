// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/listing/system_port.h"

#include <QRegularExpression>

#include <qt_windows.h>
// After windows.h and before the GUIDs' own header: the device classes' GUIDs defined here.
#include <initguid.h>

#include <devguid.h>
#include <setupapi.h>

#include <algorithm>

namespace {

QString registryText(const wchar_t *data, DWORD bytes)
{
    QString text = QString::fromWCharArray(data, int(bytes / sizeof(wchar_t)));
    while (text.endsWith(QChar(0)))
        text.chop(1);
    return text;
}

// The port's COM name, which Windows keeps in the device's own registry key.
QString portName(HDEVINFO set, SP_DEVINFO_DATA &info)
{
    const HKEY key = SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return {};
    wchar_t name[256];
    DWORD size = sizeof name;
    DWORD type = 0;
    const bool read
        = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE *>(name), &size)
            == ERROR_SUCCESS
        && type == REG_SZ;
    RegCloseKey(key);
    return read ? registryText(name, size) : QString();
}

// "USB Serial Port (COM7)", as Device Manager shows it.
QString friendlyName(HDEVINFO set, SP_DEVINFO_DATA &info)
{
    wchar_t name[512];
    DWORD type = 0;
    DWORD size = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_FRIENDLYNAME, &type,
                                           reinterpret_cast<BYTE *>(name), sizeof name, &size)
        || type != REG_SZ)
        return {};
    return registryText(name, size);
}

// The names --com1 takes: printer ports share the class, and a name of another form could be
// chosen but not kept.
bool isCom(const QString &name)
{
    static const QRegularExpression com(QStringLiteral("^COM[1-9][0-9]{0,3}$"),
                                        QRegularExpression::CaseInsensitiveOption);
    return com.match(name).hasMatch();
}

} // namespace

// Plug and Play knows the ports that are present and their friendly names. Ports of drivers
// without a Plug and Play entry, Wine's among them, are only in SERIALCOMM, by their COM name.
QList<SystemPort> listedPorts(const QString &)
{
    QList<SystemPort> ports;
    const HDEVINFO set
        = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set != INVALID_HANDLE_VALUE) {
        SP_DEVINFO_DATA info {};
        info.cbSize = sizeof info;
        for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &info); ++i) {
            const QString device = portName(set, info);
            if (!isCom(device))
                continue;
            const QString name = friendlyName(set, info);
            ports.append({device, name.isEmpty() ? device : name, device.toUpper()});
        }
        SetupDiDestroyDeviceInfoList(set);
    }

    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                      &key)
        != ERROR_SUCCESS)
        return ports;
    for (DWORD i = 0;; ++i) {
        wchar_t value[256];
        DWORD valueSize = DWORD(std::size(value));
        wchar_t data[256];
        DWORD dataSize = sizeof data;
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, i, value, &valueSize, nullptr, &type,
                                          reinterpret_cast<BYTE *>(data), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        const QString device
            = result == ERROR_SUCCESS && type == REG_SZ ? registryText(data, dataSize) : QString();
        const auto known = [&device](const SystemPort &port) {
            return port.device.compare(device, Qt::CaseInsensitive) == 0;
        };
        if (isCom(device) && std::none_of(ports.cbegin(), ports.cend(), known))
            ports.append({device, device, device.toUpper()});
    }
    RegCloseKey(key);
    return ports;
}
