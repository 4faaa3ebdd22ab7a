// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

enum class Sent;
struct PortPanel;
struct PortPanels;

// OPEN: at once when the device can be opened at once; else the panel waits, Opening, for the
// system to let the device go, and opens once the device says it is ready.
void Open(PortPanel &panel, const PortPanels &panels);
void ReadyToOpen(PortPanel &panel, const PortPanels &panels);

// CLOSE: once the text sent before has left the line, as far as the line takes it, or at once
// when the panel's task waits for something (port_panel.h says what each task makes of it).
// Whatever has not left when the line closes is thrown away and counted in the message.
void Close(PortPanel &panel, const PortPanels &panels);
// Goes on with a CLOSE that waited for the text sent before it; nothing when none waits.
void CloseOnceSent(PortPanel &panel, Sent sent, const PortPanels &panels);
