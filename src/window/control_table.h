// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <array>

// The fifteen controls of a port panel as the window is designed: both panels hold them at the
// same places. Positions are twips relative to the panel's group box.
struct ControlDesign
{
    enum Kind { Button, Label, TextBox, Status };
    enum Role {
        OpenCommand,
        CloseCommand,
        Speed115200,
        Speed57600,
        Speed38400,
        Speed19200,
        Speed9600,
        SendCaption,
        SendBox,
        SendCommand,
        ReceiveCaption,
        ReceiveBox,
        ReadCommand,
        StatusCaption,
        StatusLine,
        RoleCount
    };

    Kind kind;
    const char *names[2];
    const char *texts[2];
    int left, top, width, height;
    int tabIndexes[2];
    bool enabled;
    // What a screen reader says after the port's name: "COM1 OPEN", "COM1 send buffer". Unlike
    // the designed texts, it is translated (context "ControlDesign").
    const char *accessibleRole;
};

inline constexpr int twipsPerPixel = 15;

extern const std::array<ControlDesign, ControlDesign::RoleCount> panelDesign;

// The group boxes that hold the panels, in twips relative to the client area.
struct FrameDesign
{
    const char *name;
    const char *caption;
    int left, top, width, height;
    int tabIndex;
};

extern const std::array<FrameDesign, 2> frameDesign;

inline constexpr int clientWidthTwips = 4440;
inline constexpr int clientHeightTwips = 6900;
