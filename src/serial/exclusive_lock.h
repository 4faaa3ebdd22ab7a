#pragma once

#include <QtGlobal>

// Claims an open serial device for this program alone, the way other serial programs on the
// system do, so that two programs never talk on one line at once. False when another program
// already holds it. The claim ends when the device is closed.
bool lockExclusively(qintptr handle);
