// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

/*
 * Test-only preload library. Pseudo-terminals have no modem lines, so this answers the
 * modem-line requests for them, keeping an RTS and DTR state per descriptor, and records with a
 * monotonic timestamp every RTS change, line settings change, exclusive mode change, small write,
 * lock, unlock, open and close the program makes on a pseudo-terminal; a descriptor the program
 * duplicates is tracked too, and its close, which closes no line, is not recorded. The record goes to the file named by
 * MODEM_LINES_LOG, one line per event: "<nanoseconds> <device> <event>". Under Wine the program
 * gets its devices' descriptors from Wine's server, often a fresh one for each call, so the
 * modem lines belong to the device, not to a descriptor. With MODEM_LINES_EXCLUSIVE set, a line
 * is opened by one program at a time, as a Windows driver has it: an open of a line that is
 * open elsewhere is refused as access denied. With MODEM_LINES_TRANSMITTER naming a file, a line's
 * transmitter can be held busy, as an adapter's is while its own buffer empties: see tcdrain().
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <errno.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#define MAX_FDS 1024

static int tracked[MAX_FDS]; /* 1: opened, 2: a duplicate */

/* The pseudo-terminal's number plus one, or 0 for anything else. */
static int ptyOf(int fd)
{
    struct stat st;
    if (fd < 0 || fd >= MAX_FDS || fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return 0;
    if (major(st.st_rdev) < 136 || major(st.st_rdev) > 143)
        return 0;
    return (int)(((major(st.st_rdev) - 136) * 256 + minor(st.st_rdev)) % (MAX_FDS - 1)) + 1;
}

/*
 * A line's modem lines belong to the device, whichever process touches it: under Wine, Wine's
 * server opens the line and the program sets RTS. They are kept in a file beside the record,
 * one per pseudo-terminal, or in this process alone when there is no record.
 */
static int modemStates[MAX_FDS];

static int stateFile(int pty, int flags)
{
    const char *log = getenv("MODEM_LINES_LOG");
    if (!log)
        return -1;
    char path[512];
    snprintf(path, sizeof path, "%s.lines-%d", log, pty);
    return open(path, flags | O_CLOEXEC, 0644);
}

static int loadState(int fd)
{
    const int pty = ptyOf(fd);
    const int file = stateFile(pty, O_RDONLY);
    if (file >= 0) {
        int state;
        if (pread(file, &state, sizeof state, 0) == sizeof state)
            modemStates[pty] = state;
        close(file);
    }
    return modemStates[pty];
}

static void storeState(int fd, int state)
{
    const int pty = ptyOf(fd);
    modemStates[pty] = state;
    const int file = stateFile(pty, O_WRONLY | O_CREAT); /* one write in place: never short */
    if (file >= 0) {
        pwrite(file, &state, sizeof state, 0);
        close(file);
    }
}

static void record(int fd, const char *event)
{
    static ssize_t (*realWrite)(int, const void *, size_t);
    if (!realWrite)
        realWrite = (ssize_t(*)(int, const void *, size_t))dlsym(RTLD_NEXT, "write");
    const char *path = getenv("MODEM_LINES_LOG");
    if (!path)
        return;
    char device[256] = "?";
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, device, sizeof device - 1);
    device[length > 0 ? length : 1] = '\0';

    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    char line[512];
    const int size = snprintf(line, sizeof line, "%lld %s %s\n",
                              (long long)now.tv_sec * 1000000000LL + now.tv_nsec, device, event);
    const int log = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (log >= 0) {
        realWrite(log, line, (size_t)size);
        close(log);
    }
}

static long speedOf(speed_t code)
{
    static const struct { speed_t code; long baud; } speeds[] = {
        {B300, 300},     {B600, 600},     {B1200, 1200},     {B2400, 2400},
        {B4800, 4800},   {B9600, 9600},   {B19200, 19200},   {B38400, 38400},
        {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
    };
    for (size_t i = 0; i < sizeof speeds / sizeof speeds[0]; ++i) {
        if (speeds[i].code == code)
            return speeds[i].baud;
    }
    return -1;
}

static int trackIfPty(int fd)
{
    if (!ptyOf(fd))
        return fd;
    if (getenv("MODEM_LINES_EXCLUSIVE") && flock(fd, LOCK_EX | LOCK_NB) != 0) {
        static int (*realClose)(int);
        if (!realClose)
            realClose = (int (*)(int))dlsym(RTLD_NEXT, "close");
        realClose(fd);
        errno = EACCES;
        return -1;
    }
    tracked[fd] = 1;
    storeState(fd, TIOCM_DTR | TIOCM_RTS); /* raised with the port, as a real driver does */
    record(fd, "open");
    return fd;
}

/* open() and open64() take an optional mode; pass it on and track what they open. */
#define INTERPOSE_OPEN(name)                                                                   \
    int name(const char *path, int flags, ...)                                                 \
    {                                                                                          \
        static int (*real)(const char *, int, ...);                                            \
        if (!real)                                                                             \
            real = (int (*)(const char *, int, ...))dlsym(RTLD_NEXT, #name);                   \
        va_list args;                                                                          \
        va_start(args, flags);                                                                 \
        const mode_t mode = (mode_t)va_arg(args, int);                                         \
        va_end(args);                                                                          \
        return trackIfPty(real(path, flags, mode));                                            \
    }

INTERPOSE_OPEN(open)
INTERPOSE_OPEN(open64)

int close(int fd)
{
    static int (*realClose)(int);
    if (!realClose)
        realClose = (int (*)(int))dlsym(RTLD_NEXT, "close");
    if (fd >= 0 && fd < MAX_FDS && tracked[fd]) {
        if (tracked[fd] == 1)
            record(fd, "close");
        tracked[fd] = 0;
    }
    return realClose(fd);
}

int fcntl(int fd, int command, ...)
{
    static int (*realFcntl)(int, int, ...);
    if (!realFcntl)
        realFcntl = (int (*)(int, int, ...))dlsym(RTLD_NEXT, "fcntl");
    va_list args;
    va_start(args, command);
    void *argument = va_arg(args, void *);
    va_end(args);
    const int result = realFcntl(fd, command, argument);
    if ((command == F_DUPFD || command == F_DUPFD_CLOEXEC) && result >= 0 && result < MAX_FDS
        && fd >= 0 && fd < MAX_FDS && tracked[fd])
        tracked[result] = 2;
    return result;
}

int flock(int fd, int operation)
{
    static int (*realFlock)(int, int);
    if (!realFlock)
        realFlock = (int (*)(int, int))dlsym(RTLD_NEXT, "flock");
    const int result = realFlock(fd, operation);
    if (result == 0 && fd >= 0 && fd < MAX_FDS && tracked[fd] && !getenv("MODEM_LINES_EXCLUSIVE"))
        record(fd, (operation & LOCK_UN) ? "unlock" : "lock");
    return result;
}

int ioctl(int fd, unsigned long request, ...)
{
    static int (*realIoctl)(int, unsigned long, ...);
    if (!realIoctl)
        realIoctl = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    va_list args;
    va_start(args, request);
    void *argument = va_arg(args, void *);
    va_end(args);

    if ((request == TIOCEXCL || request == TIOCNXCL) && fd >= 0 && fd < MAX_FDS && tracked[fd])
        record(fd, request == TIOCEXCL ? "exclusive 1" : "exclusive 0");
    /* On a USB adapter the transmitter's state is a request to the adapter: not for the thread
       that runs the window. */
    if (request == TIOCSERGETLSR && fd >= 0 && fd < MAX_FDS && tracked[fd] && gettid() == getpid())
        record(fd, "transmitter asked on the main thread");
    const int modemRequest = request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS
        || request == TIOCMBIC;
    if (!modemRequest || fd < 0 || fd >= MAX_FDS || !tracked[fd])
        return realIoctl(fd, request, argument);

    int *bits = (int *)argument;
    const int before = loadState(fd);
    int state = before;
    if (request == TIOCMGET) {
        *bits = state; /* only read: Wine polls the lines from a thread of its own */
        return 0;
    }
    if (request == TIOCMSET)
        state = *bits;
    else if (request == TIOCMBIS)
        state |= *bits;
    else
        state &= ~*bits;
    storeState(fd, state);
    if ((before ^ state) & TIOCM_RTS)
        record(fd, state & TIOCM_RTS ? "rts 1" : "rts 0");
    return 0;
}

/* Wine's server hands out descriptors of devices it opened: track them without an open. */
ssize_t recvmsg(int socket, struct msghdr *message, int flags)
{
    static ssize_t (*realRecvmsg)(int, struct msghdr *, int);
    if (!realRecvmsg)
        realRecvmsg = (ssize_t(*)(int, struct msghdr *, int))dlsym(RTLD_NEXT, "recvmsg");
    const ssize_t result = realRecvmsg(socket, message, flags);
    if (result < 0)
        return result;
    for (struct cmsghdr *c = CMSG_FIRSTHDR(message); c; c = CMSG_NXTHDR(message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        const int *fds = (const int *)CMSG_DATA(c);
        for (size_t i = 0; i < (c->cmsg_len - CMSG_LEN(0)) / sizeof(int); ++i) {
            if (ptyOf(fds[i]))
                tracked[fds[i]] = 1;
        }
    }
    return result;
}

int tcsetattr(int fd, int when, const struct termios *attributes)
{
    static int (*realTcsetattr)(int, int, const struct termios *);
    if (!realTcsetattr)
        realTcsetattr = (int (*)(int, int, const struct termios *))dlsym(RTLD_NEXT, "tcsetattr");
    const int result = realTcsetattr(fd, when, attributes);
    if (result == 0 && fd >= 0 && fd < MAX_FDS && tracked[fd]) {
        char event[64];
        snprintf(event, sizeof event, "settings %ld", speedOf(cfgetospeed(attributes)));
        record(fd, event);
    }
    return result;
}

ssize_t write(int fd, const void *data, size_t size)
{
    static ssize_t (*realWrite)(int, const void *, size_t);
    if (!realWrite)
        realWrite = (ssize_t(*)(int, const void *, size_t))dlsym(RTLD_NEXT, "write");
    const ssize_t written = realWrite(fd, data, size);
    if (written > 0 && fd >= 0 && fd < MAX_FDS && tracked[fd]) {
        char event[80] = "write";
        const unsigned char *bytes = data;
        for (ssize_t i = 0; i < written && i < 16; ++i)
            snprintf(event + strlen(event), sizeof event - strlen(event), " %02x", bytes[i]);
        if (written > 16)
            snprintf(event + strlen(event), sizeof event - strlen(event), " (%zd bytes)", written);
        record(fd, event);
    }
    return written;
}

/*
 * With MODEM_LINES_TRANSMITTER naming a file: while the file says "busy", tcdrain() waits until
 * the output is flushed or the file says so no more, as a transmitter that empties when its queue
 * is thrown away; while it says "stuck", until the file says so no more, whatever is done to the
 * line, as a driver that ignores a cancel. The waits and the flushes of output are recorded:
 * "drain", "drained", "flush output".
 */
static int outputFlushes;

static int transmitterHeld(const char *control, int flushes)
{
    char mode[16] = "";
    const int file = open(control, O_RDONLY | O_CLOEXEC);
    if (file >= 0) {
        const ssize_t length = read(file, mode, sizeof mode - 1);
        mode[length > 0 ? length : 0] = '\0';
        close(file);
    }
    if (strncmp(mode, "stuck", 5) == 0)
        return 1;
    return strncmp(mode, "busy", 4) == 0
        && __atomic_load_n(&outputFlushes, __ATOMIC_SEQ_CST) == flushes;
}

int tcdrain(int fd)
{
    static int (*realTcdrain)(int);
    if (!realTcdrain)
        realTcdrain = (int (*)(int))dlsym(RTLD_NEXT, "tcdrain");
    const char *control = getenv("MODEM_LINES_TRANSMITTER");
    if (!control || fd < 0 || fd >= MAX_FDS || !tracked[fd])
        return realTcdrain(fd);
    record(fd, "drain");
    const int flushes = __atomic_load_n(&outputFlushes, __ATOMIC_SEQ_CST);
    const struct timespec millisecond = {0, 1000000};
    while (transmitterHeld(control, flushes))
        nanosleep(&millisecond, NULL);
    const int result = realTcdrain(fd);
    record(fd, "drained");
    return result;
}

int tcflush(int fd, int queue)
{
    static int (*realTcflush)(int, int);
    if (!realTcflush)
        realTcflush = (int (*)(int, int))dlsym(RTLD_NEXT, "tcflush");
    if (getenv("MODEM_LINES_TRANSMITTER") && fd >= 0 && fd < MAX_FDS && tracked[fd]
        && (queue == TCOFLUSH || queue == TCIOFLUSH)) {
        __atomic_add_fetch(&outputFlushes, 1, __ATOMIC_SEQ_CST);
        record(fd, "flush output");
    }
    return realTcflush(fd, queue);
}
