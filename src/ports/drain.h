// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

class SerialPort;

enum class Sent {
    All, // nothing written is left in the host
    Stalled, // the line took no more in the time the rest needs and a second more
    Interrupted, // the port was closed, or closed and opened again, meanwhile
    Quitting, // the application is shutting down
};

// Waits until everything written to the port has left the host, as a real line takes its time
// over it, for at most the time the bytes need at the port's speed and one second more. The
// window stays responsive meanwhile, and the wait sleeps between looks at the queue.
Sent WaitUntilSent(const SerialPort &comm);
