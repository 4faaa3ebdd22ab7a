// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

struct PortPanel;

// Puts the send box's whole text on the panel's port; on a closed port, does nothing.
void Send(PortPanel &panel);

// Replaces the receive box's text with everything the port received since the last Read; on a
// closed port, does nothing.
void Read(PortPanel &panel);
