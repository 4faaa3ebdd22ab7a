// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

// The processor time this process has used so far, in milliseconds, all threads together.
double processCpuMs();
