// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/win32_serial_device.h"

#include "serial/line_settings.h"

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
    for (OVERLAPPED *done : {&m_waitDone, &m_readDone, &m_writeDone})
        done->hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_receivedNotifier.setHandle(m_waitDone.hEvent);
    m_writtenNotifier.setHandle(m_writeDone.hEvent);
    QObject::connect(&m_receivedNotifier, &QWinEventNotifier::activated, &m_receivedNotifier,
                     [this] { onReceived(); });
    QObject::connect(&m_writtenNotifier, &QWinEventNotifier::activated, &m_writtenNotifier,
                     [this] { onWritten(); });
}

Win32SerialDevice::~Win32SerialDevice()
{
    close();
    for (OVERLAPPED *done : {&m_waitDone, &m_readDone, &m_writeDone})
        CloseHandle(done->hEvent);
}

bool Win32SerialDevice::open(const LineSettings &settings)
{
    close();
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
    if (m_handle != INVALID_HANDLE_VALUE) {
        // Ends the pending wait and write; the driver must be done with their buffers before
        // they go. Bounded, so that a driver that ignores the cancel cannot hang the window.
        SetCommMask(m_handle, 0);
        CancelIo(m_handle);
        if (m_watching)
            WaitForSingleObject(m_waitDone.hEvent, 1000);
        if (!m_writing.isEmpty())
            WaitForSingleObject(m_writeDone.hEvent, 1000);
        CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
    m_watching = false;
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

bool Win32SerialDevice::write(const QByteArray &bytes)
{
    if (!begin())
        return false;
    m_queued += bytes;
    if (m_writing.isEmpty())
        startWrite();
    return m_error == Error::None;
}

QByteArray Win32SerialDevice::readAll()
{
    // What the driver holds right now as well; after a failure, what was taken before it.
    if (m_error == Error::None && m_handle != INVALID_HANDLE_VALUE)
        takeReceived();
    return std::exchange(m_received, {});
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
        reportFailure();
    }
    return false;
}

// The driver signals the wait's event when bytes arrive.
void Win32SerialDevice::watchReceived()
{
    m_events = 0;
    m_watching = true;
    ResetEvent(m_waitDone.hEvent);
    if (!WaitCommEvent(m_handle, &m_events, &m_waitDone)) {
        const DWORD code = GetLastError();
        if (code != ERROR_IO_PENDING) {
            m_watching = false;
            fail(code);
            return;
        }
    } else {
        SetEvent(m_waitDone.hEvent); // done at once: handle it like any other arrival
    }
    m_receivedNotifier.setEnabled(true);
}

void Win32SerialDevice::onReceived()
{
    DWORD ignored;
    m_watching = false;
    if (!GetOverlappedResult(m_handle, &m_waitDone, &ignored, FALSE)) {
        fail(GetLastError());
        return;
    }
    if (takeReceived())
        watchReceived();
}

bool Win32SerialDevice::takeReceived()
{
    for (;;) {
        DWORD errors = 0;
        COMSTAT status {};
        if (!ClearCommError(m_handle, &errors, &status))
            return fail(GetLastError());
        if (status.cbInQue == 0)
            return true;
        const qsizetype before = m_received.size();
        m_received.resize(before + qsizetype(status.cbInQue));
        DWORD count = 0;
        // The timeouts make this return at once with what the driver holds.
        const bool done
            = ReadFile(m_handle, m_received.data() + before, status.cbInQue, nullptr, &m_readDone)
            || (GetLastError() == ERROR_IO_PENDING);
        const bool read = done && GetOverlappedResult(m_handle, &m_readDone, &count, TRUE);
        const DWORD code = GetLastError();
        m_received.resize(before + qsizetype(count));
        if (!read)
            return fail(code);
        if (count == 0)
            return true;
    }
}

void Win32SerialDevice::startWrite()
{
    m_writing = std::exchange(m_queued, {});
    ResetEvent(m_writeDone.hEvent);
    if (!WriteFile(m_handle, m_writing.constData(), DWORD(m_writing.size()), nullptr,
                   &m_writeDone)) {
        const DWORD code = GetLastError();
        if (code != ERROR_IO_PENDING) {
            m_writing.clear();
            fail(code);
            return;
        }
    }
    // The event is signalled when the driver is done, at once or later.
    m_writtenNotifier.setEnabled(true);
}

void Win32SerialDevice::onWritten()
{
    m_writtenNotifier.setEnabled(false);
    DWORD count = 0;
    const bool written = GetOverlappedResult(m_handle, &m_writeDone, &count, FALSE);
    const DWORD code = GetLastError();
    const QByteArray rest = m_writing.mid(qsizetype(count));
    m_writing.clear();
    if (!written) {
        fail(code);
        return;
    }
    m_queued.prepend(rest);
    if (!m_queued.isEmpty())
        startWrite();
}
