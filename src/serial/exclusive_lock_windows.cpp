#include "serial/exclusive_lock.h"

// Windows opens a serial port for one program only; there is nothing more to claim.
bool lockExclusively(qintptr)
{
    return true;
}
