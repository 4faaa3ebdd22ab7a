// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/win32_serial_device.h"

#include "serial/line_settings.h"

#include <QCoreApplication>

#include <utility>

namespace {

BYTE parityOf(LineSettings::Parity parity)
{
    switch (parity) {
    case LineSettings::Parity::Even:
        return EVENPARITY;
    case LineSettings::Parity::Odd:
        return ODDPARITY;
    case LineSettings::Parity::Mark:
        return MARKPARITY;
    case LineSettings::Parity::Space:
        return SPACEPARITY;
    case LineSettings::Parity::None:
        break;
    }
    return NOPARITY;
}

BYTE stopBitsOf(LineSettings::StopBits stopBits)
{
    switch (stopBits) {
    case LineSettings::StopBits::OneAndHalf:
        return ONE5STOPBITS;
    case LineSettings::StopBits::Two:
        return TWOSTOPBITS;
    case LineSettings::StopBits::One:
        break;
    }
    return ONESTOPBIT;
}

} // namespace

std::unique_ptr<SerialDevice> SerialDevice::create(const QString &location)
{
    return std::make_unique<Win32SerialDevice>(location);
}

Win32SerialDevice::Win32SerialDevice(const QString &location)
    : m_location(location)
{
    for (OVERLAPPED *done : {&m_waitDone, &m_readDone, &m_writeDone}) {
        done->hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!done->hEvent && m_eventsError == ERROR_SUCCESS)
            m_eventsError = GetLastError();
    }
    m_receivedNotifier.setHandle(m_waitDone.hEvent);
    m_writtenNotifier.setHandle(m_writeDone.hEvent);
    QObject::connect(&m_receivedNotifier, &QWinEventNotifier::activated, &m_receivedNotifier,
                     [this] { onReceived(); });
    QObject::connect(&m_writtenNotifier, &QWinEventNotifier::activated, &m_writtenNotifier,
                     [this] { onWritten(); });
    // Some drivers, and Wine's ports on a pseudo-terminal, leave the wait for received bytes
    // pending when the line goes away, but asking for the line's state fails then: asking now
    // and then finds the loss within a second even when nothing arrives.
    m_lineCheck.setInterval(500);
    QObject::connect(&m_lineCheck, &QTimer::timeout, &m_lineCheck, [this] {
        if (!takeReceived())
            m_lineCheck.stop();
    });
}

Win32SerialDevice::~Win32SerialDevice()
{
    close();
    for (OVERLAPPED *done : {&m_waitDone, &m_readDone, &m_writeDone}) {
        if (done->hEvent)
            CloseHandle(done->hEvent);
    }
}

bool Win32SerialDevice::open(const LineSettings &settings)
{
    close();
    if (m_eventsError != ERROR_SUCCESS)
        return fail(m_eventsError);
    // The \\.\ form names COM10 and above too.
    const QString device = QStringLiteral("\\\\.\\");
    const QString path = m_location.startsWith(device) ? m_location : device + m_location;
    m_handle
        = CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
                      0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return fail(code, Error::NotFound);
        case ERROR_ACCESS_DENIED: // how Windows refuses a port another program has open
        case ERROR_SHARING_VIOLATION:
            return fail(code, Error::InUse);
        default:
            return fail(code);
        }
    }
    // Reads take what the driver holds and return at once; writes have no time limit.
    COMMTIMEOUTS timeouts {MAXDWORD, 0, 0, 0, 0};
    m_requestToSend = true; // raised with the port, as on every other system
    if (!SetCommTimeouts(m_handle, &timeouts) || !SetCommMask(m_handle, EV_RXCHAR)) {
        // A name that opens but is no serial line (Wine keeps a port whose line has gone).
        const DWORD code = GetLastError();
        fail(code, code == ERROR_INVALID_FUNCTION ? Error::NotFound : Error::Io);
    } else if (apply(settings)) {
        watchReceived();
        m_lineCheck.start();
    }
    if (m_error == Error::None)
        return true;
    // Closed without close(), which would forget why the open failed.
    CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE));
    m_watching = false;
    return false;
}

void Win32SerialDevice::close()
{
    m_receivedNotifier.setEnabled(false);
    m_writtenNotifier.setEnabled(false);
    m_lineCheck.stop();
    if (m_handle != INVALID_HANDLE_VALUE) {
        // Ends the pending wait and write. The driver may write into their buffers and results
        // until it has finished them, so they are waited for, without a limit: a driver that
        // ignored the cancel would otherwise write into memory that is no longer ours.
        SetCommMask(m_handle, 0);
        CancelIo(m_handle);
        DWORD ignored;
        if (m_watching)
            GetOverlappedResult(m_handle, &m_waitDone, &ignored, TRUE);
        if (!m_writing.isEmpty())
            GetOverlappedResult(m_handle, &m_writeDone, &ignored, TRUE);
        CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
    m_watching = false;
    m_lineErrors = 0;
    m_received.clear();
    m_queued.clear();
    m_writing.clear();
    m_error = Error::None;
    m_errorString.clear();
}

bool Win32SerialDevice::apply(const LineSettings &settings)
{
    if (!begin())
        return false;
    DCB dcb {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(m_handle, &dcb))
        return fail(GetLastError());
    dcb.BaudRate = DWORD(settings.baudRate);
    dcb.ByteSize = BYTE(settings.dataBits);
    dcb.Parity = parityOf(settings.parity);
    dcb.StopBits = stopBitsOf(settings.stopBits);
    dcb.fBinary = TRUE;
    dcb.fParity = settings.parity != LineSettings::Parity::None;
    // No flow control of any kind; RTS stays where the program last put it.
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = dcb.fInX = dcb.fNull = dcb.fErrorChar = dcb.fAbortOnError = FALSE;
    // Unused without XON/XOFF, but some virtual drivers report values that SetCommState then
    // refuses (XonChar equal to XoffChar, limits beyond the queue).
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = m_requestToSend ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    if (SetCommState(m_handle, &dcb))
        return true;
    const DWORD code = GetLastError();
    return fail(code,
                code == ERROR_INVALID_PARAMETER || code == ERROR_NOT_SUPPORTED ? Error::Unsupported
                                                                               : Error::Io);
}

bool Win32SerialDevice::setRequestToSend(bool active)
{
    if (!begin())
        return false;
    if (!EscapeCommFunction(m_handle, active ? SETRTS : CLRRTS))
        return fail(GetLastError());
    m_requestToSend = active;
    return true;
}

bool Win32SerialDevice::begin()
{
    // An input/output failure means bytes may be lost; it stays until the port is closed.
    if (m_error == Error::Io)
        return false;
    m_error = Error::None;
    m_errorString.clear();
    return true;
}

bool Win32SerialDevice::fail(DWORD systemError, Error error)
{
    if (m_error != Error::Io) {
        m_error = error;
        m_errorString = qt_error_string(int(systemError));
    }
    // Nothing more is waited for on a failed device, so no event keeps firing; and the port is
    // told, as the failure may have come from the line while nothing was asked of the device.
    if (m_error == Error::Io) {
        m_receivedNotifier.setEnabled(false);
        m_writtenNotifier.setEnabled(false);
        m_lineCheck.stop();
        reportFailure();
    }
    return false;
}

QString Win32SerialDevice::lineErrors() const
{
    QStringList found;
    if (m_lineErrors & (CE_OVERRUN | CE_RXOVER))
        found += QCoreApplication::translate("Win32SerialDevice", "bytes lost (overrun)");
    if (m_lineErrors & CE_FRAME)
        found += QCoreApplication::translate("Win32SerialDevice", "framing errors");
    if (m_lineErrors & CE_RXPARITY)
        found += QCoreApplication::translate("Win32SerialDevice", "parity errors");
    return found.join(QStringLiteral(", "));
}
