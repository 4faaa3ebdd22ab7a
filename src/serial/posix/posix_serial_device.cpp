// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/posix/posix_serial_device.h"

#include "serial/line_settings.h"
#include "serial/open_attempt.h"

#include <QCoreApplication>

#include <cerrno>
#include <sys/ioctl.h>
#include <termios.h>
#include <utility>

namespace {

// The speeds termios names; a driver may still refuse one, which the line read back tells.
speed_t speedOf(qint32 baudRate)
{
    static const std::pair<qint32, speed_t> speeds[] = {
        {110, B110},       {300, B300},       {600, B600},       {1200, B1200},    {2400, B2400},
        {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},  {57600, B57600},
        {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600}};
    for (const auto &[baud, speed] : speeds) {
        if (baud == baudRate)
            return speed;
    }
    return B0;
}

// What the device has of a wanted setting, compared after setting it: tcsetattr() succeeds when
// any part of a change took, and a pseudo-terminal keeps 8 data bits and no parity whatever it
// is told.
bool sameLine(const termios &a, const termios &b)
{
    const tcflag_t line = CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS;
    return cfgetospeed(&a) == cfgetospeed(&b) && cfgetispeed(&a) == cfgetispeed(&b)
        && (a.c_cflag & line) == (b.c_cflag & line);
}

} // namespace

std::unique_ptr<SerialDevice> SerialDevice::create(const QString &location)
{
    return std::make_unique<PosixSerialDevice>(location);
}

PosixSerialDevice::PosixSerialDevice(const QString &location)
    : m_location(location)
    , m_readable(QSocketNotifier::Read)
    , m_writable(QSocketNotifier::Write)
{
    QObject::connect(&m_readable, &QSocketNotifier::activated, &m_readable, [this] { receive(); });
    QObject::connect(&m_writable, &QSocketNotifier::activated, &m_writable, [this] { send(); });
}

PosixSerialDevice::~PosixSerialDevice()
{
    cancelOpen();
    close();
}

bool PosixSerialDevice::prepareOpen()
{
    return OpenAttempt::prepare(m_opening, m_location, &m_readable, [this] { reportReady(); });
}

// One under way stays, given up, for the next prepareOpen() to want again.
void PosixSerialDevice::cancelOpen()
{
    if (m_opening)
        m_opening->giveUp();
}

bool PosixSerialDevice::open(const LineSettings &settings)
{
    close();
    int error = 0;
    m_descriptor = int(OpenAttempt::takeOrOpen(m_opening, m_location, error));
    if (!isOpen())
        return failOpening(error);
    termios line;
    if (::tcgetattr(m_descriptor, &line) != 0 || !apply(settings)) {
        // Closed without close(), which would forget why the open failed.
        failOpening(m_error == Error::None ? errno : 0);
        OpenAttempt::close(std::exchange(m_descriptor, -1));
        return false;
    }
    m_readable.setSocket(m_descriptor);
    m_writable.setSocket(m_descriptor);
    m_readable.setEnabled(true);
    return true;
}

// Raw bytes both ways, no flow control of any kind, and no waiting for a modem's carrier. RTS
// stays where it was.
bool PosixSerialDevice::apply(const LineSettings &settings)
{
    if (!begin())
        return false;
    termios line;
    if (::tcgetattr(m_descriptor, &line) != 0)
        return fail(errno);
    const termios before = line;
    ::cfmakeraw(&line);
    line.c_cflag |= CLOCAL | CREAD;
    line.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    line.c_cflag |= sizes[qBound(5, settings.dataBits, 8) - 5];
    if (settings.stopBits != LineSettings::StopBits::One)
        line.c_cflag |= CSTOPB;
    switch (settings.parity) {
    case LineSettings::Parity::None:
        break;
    case LineSettings::Parity::Odd:
        line.c_cflag |= PARODD;
        Q_FALLTHROUGH();
    case LineSettings::Parity::Even:
        line.c_cflag |= PARENB;
        break;
    case LineSettings::Parity::Mark:
        line.c_cflag |= PARODD;
        Q_FALLTHROUGH();
    case LineSettings::Parity::Space:
        line.c_cflag |= PARENB | CMSPAR;
        break;
    }
    // Bytes as they came, whatever the line's last user had it check; the input speed as the
    // output's.
    line.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
    line.c_cflag &= ~CIBAUD;
    // A read without bytes then ends with EAGAIN; one that ends without an error and without
    // bytes tells that the line has hung up.
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    const speed_t speed = speedOf(settings.baudRate);
    if (speed == B0 || ::cfsetispeed(&line, speed) != 0 || ::cfsetospeed(&line, speed) != 0)
        return fail(EINVAL, Error::Unsupported);
    if (setLine(line)) {
        m_line = settings;
        return true;
    }
    // The line as it was, so that a refused setting leaves nothing half done.
    if (m_error != Error::Io)
        ::tcsetattr(m_descriptor, TCSANOW, &before);
    return false;
}

bool PosixSerialDevice::setLine(const termios &wanted)
{
    if (::tcsetattr(m_descriptor, TCSANOW, &wanted) != 0)
        return fail(errno, errno == EINVAL ? Error::Unsupported : Error::Io);
    termios now;
    if (::tcgetattr(m_descriptor, &now) != 0)
        return fail(errno);
    return sameLine(now, wanted) || fail(EINVAL, Error::Unsupported);
}

// One request, which sets the line and nothing else: on a USB adapter each is a request to it.
bool PosixSerialDevice::setRequestToSend(bool active)
{
    const int rts = TIOCM_RTS;
    if (!begin())
        return false;
    if (::ioctl(m_descriptor, active ? TIOCMBIS : TIOCMBIC, &rts) != 0)
        return fail(errno, errno == ENOTTY || errno == EINVAL ? Error::Unsupported : Error::Io);
    return true;
}

void PosixSerialDevice::close()
{
    m_readable.setEnabled(false);
    m_writable.setEnabled(false);
    m_transmitterWait.stop();
    if (isOpen())
        OpenAttempt::close(std::exchange(m_descriptor, -1));
    m_received.clear();
    m_queued.clear();
    m_sent = true;
    m_sentBy = 0;
    m_drainWanted = false; // closing ends a drain without a call
    m_error = Error::None;
    m_errorString.clear();
}

bool PosixSerialDevice::begin()
{
    // An input/output failure means bytes may be lost; it stays until the device is closed.
    if (m_error == Error::Io || !isOpen())
        return false;
    m_error = Error::None;
    m_errorString.clear();
    return true;
}

bool PosixSerialDevice::failOpening(int systemError)
{
    switch (systemError) {
    case 0:
        return false; // told already
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return fail(systemError, Error::NotFound);
    case EACCES:
    case EPERM:
        return fail(systemError, Error::PermissionDenied);
    case EWOULDBLOCK: // locked by another serial program
    case EBUSY: // held in exclusive mode by one
        return fail(systemError, Error::InUse);
    case ENOTTY:
    case EINVAL:
        return fail(systemError, Error::Unsupported);
    default:
        return fail(systemError);
    }
}

// A failing device keeps signalling: nothing more is asked of it until it is closed, so that
// nothing spins, and the port is told, as the failure may have come from the line while nothing
// was asked of the device.
bool PosixSerialDevice::fail(int systemError, Error error, const QString &words)
{
    if (m_error == Error::Io)
        return false;
    m_error = error;
    m_errorString = words.isEmpty() ? qt_error_string(systemError) : words;
    if (error == Error::Io && isOpen()) {
        m_readable.setEnabled(false);
        m_writable.setEnabled(false);
        m_transmitterWait.stop();
        reportFailure();
    }
    return false;
}
