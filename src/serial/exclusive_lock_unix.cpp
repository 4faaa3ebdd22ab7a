#include "serial/exclusive_lock.h"

#include <cerrno>
#include <sys/file.h>

// picocom, minicom, screen and another copy of this program take an advisory lock on the device;
// Qt's own lock file only covers Qt programs that name the device the same way.
bool lockExclusively(qintptr handle)
{
    int result;
    do {
        result = ::flock(int(handle), LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0 || errno != EWOULDBLOCK;
}
