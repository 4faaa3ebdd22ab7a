// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/win32/win32_serial_device.h"

#include "serial/line_settings.h"
#include "serial/open_attempt.h"
#include "serial/win32/win32_pending_io.h"

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
    QObject::connect(&m_receivedNotifier, &QWinEventNotifier::activated, &m_receivedNotifier,
                     [this] { onReceived(); });
    QObject::connect(&m_writtenNotifier, &QWinEventNotifier::activated, &m_writtenNotifier,
                     [this] { onWritten(); });
    QObject::connect(&m_flushedNotifier, &QWinEventNotifier::activated, &m_flushedNotifier,
                     [this] { onFlushed(); });
    // A driver that leaves the read pending when the line goes away mostly fails when asked for
    // the line's state: asking now and then finds the loss even when nothing arrives. Rarely, as
    // the read's failure tells at once where the driver reports the loss, Wine's pseudo-terminal
    // ports included.
    m_lineCheck.setInterval(lineCheckMs);
    QObject::connect(&m_lineCheck, &QTimer::timeout, &m_lineCheck, [this] { checkLine(); });
}

Win32SerialDevice::~Win32SerialDevice()
{
    cancelOpen();
    close();
}

bool Win32SerialDevice::prepareOpen()
{
    return OpenAttempt::prepare(m_opening, m_location, &m_lineCheck, [this] { reportReady(); });
}

// One under way stays, given up, for the next prepareOpen() to want again.
void Win32SerialDevice::cancelOpen()
{
    if (m_opening)
        m_opening->giveUp();
}

bool Win32SerialDevice::open(const LineSettings &settings)
{
    int error = 0;
    const HANDLE handle = HANDLE(OpenAttempt::takeOrOpen(m_opening, m_location, error));
    const DWORD code = DWORD(error);
    close();
    m_error = Error::None; // a driver that kept the last opening's requests is told of no more
    m_errorString.clear();
    m_handle = handle;
    m_io = std::make_unique<Win32PendingIo>();
    if (m_io->setUpError() != ERROR_SUCCESS) {
        CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE));
        return fail(m_io->setUpError());
    }
    if (m_handle == INVALID_HANDLE_VALUE) {
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
    // A read ends once it has all it asked for: what the driver holds, or else the next byte.
    // A write ends at the latest after a while with what the driver took, so that what has not
    // left is known even while the line takes nothing.
    COMMTIMEOUTS timeouts {0, 0, 0, 0, writeAnswerMs};
    m_requestToSend = true; // raised with the port, as on every other system
    m_writes = m_flushedWrites = m_flushingWrites = 0;
    if (!SetCommTimeouts(m_handle, &timeouts)) {
        // A name that opens but is no serial line (Wine keeps a port whose line has gone).
        const DWORD code = GetLastError();
        fail(code, code == ERROR_INVALID_FUNCTION ? Error::NotFound : Error::Io);
    } else if (apply(settings)) {
        m_receivedNotifier.setHandle(m_io->read.hEvent);
        m_writtenNotifier.setHandle(m_io->write.hEvent);
        receive();
        m_lineCheck.start();
    }
    if (m_error == Error::None)
        return true;
    // Closed without close(), which would forget why the open failed.
    m_receivedNotifier.setEnabled(false);
    m_lineCheck.stop();
    CancelIoEx(m_handle, nullptr);
    m_io->settle(closeWaitMs);
    Win32PendingIo::release(std::move(m_io));
    CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE));
    return false;
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
        m_flushedNotifier.setEnabled(false);
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
