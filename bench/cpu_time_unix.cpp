// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "cpu_time.h"

#include <ctime>

double processCpuMs()
{
    return 1000.0 * double(std::clock()) / CLOCKS_PER_SEC;
}
