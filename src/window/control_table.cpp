// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "window/control_table.h"

#include <QtGlobal>

// clang-format off
const std::array<ControlDesign, ControlDesign::RoleCount> panelDesign = {{
    {ControlDesign::Button,  {"Command8",  "Command21"}, {"OPEN", "OPEN"},             180,  240,  975, 315, {1, 15},  true, QT_TRANSLATE_NOOP("ControlDesign", "OPEN")},
    {ControlDesign::Button,  {"Command9",  "Command20"}, {"CLOSE", "CLOSE"},           180,  600,  975, 315, {2, 14},  true, QT_TRANSLATE_NOOP("ControlDesign", "CLOSE")},
    {ControlDesign::Button,  {"Command10", "Command19"}, {"115200", "115200"},         180,  960,  975, 315, {3, 13},  false, QT_TRANSLATE_NOOP("ControlDesign", "115200")},
    {ControlDesign::Button,  {"Command11", "Command18"}, {"57600", "57600"},           180, 1320,  975, 315, {4, 12},  false, QT_TRANSLATE_NOOP("ControlDesign", "57600")},
    {ControlDesign::Button,  {"Command12", "Command17"}, {"38400", "38400"},           180, 1680,  975, 315, {5, 11},  false, QT_TRANSLATE_NOOP("ControlDesign", "38400")},
    {ControlDesign::Button,  {"Command13", "Command16"}, {"19200", "19200"},           180, 2040,  975, 315, {6, 10},  false, QT_TRANSLATE_NOOP("ControlDesign", "19200")},
    {ControlDesign::Button,  {"Command14", "Command15"}, {"9600", "9600"},             180, 2400,  975, 315, {7, 9},   false, QT_TRANSLATE_NOOP("ControlDesign", "9600")},
    {ControlDesign::Label,   {"Label1",    "Label3"},    {"发送缓冲区", "发送缓冲区"},   1320,  300, 1035, 195, {18, 24}, true, QT_TRANSLATE_NOOP("ControlDesign", "send buffer caption")},
    {ControlDesign::TextBox, {"Text1",     "Text2"},     {"12345\r\n", "12345\r\n"},   1320,  600, 2775, 795, {16, 22}, true, QT_TRANSLATE_NOOP("ControlDesign", "send buffer")},
    {ControlDesign::Button,  {"Command2",  "Command3"},  {"Send", "Send"},             3120,  240,  975, 315, {20, 26}, true, QT_TRANSLATE_NOOP("ControlDesign", "Send")},
    {ControlDesign::Label,   {"Label2",    "Label4"},    {"接收缓冲区", "接收缓冲区"},   1320, 1560, 1035, 195, {19, 25}, true, QT_TRANSLATE_NOOP("ControlDesign", "receive buffer caption")},
    {ControlDesign::TextBox, {"Text3",     "Text4"},     {"", ""},                     1320, 1860, 2775, 855, {17, 23}, true, QT_TRANSLATE_NOOP("ControlDesign", "receive buffer")},
    {ControlDesign::Button,  {"Command1",  "Command4"},  {"Read", "Read"},             3120, 1500,  975, 315, {21, 27}, true, QT_TRANSLATE_NOOP("ControlDesign", "Read")},
    {ControlDesign::Label,   {"Label5",    "Label7"},    {"COM1状态", "COM2状态"},       240, 2940,  795, 195, {28, 30}, true, QT_TRANSLATE_NOOP("ControlDesign", "status caption")},
    {ControlDesign::Status,  {"Label6",    "Label8"},    {"", ""},                     1320, 2940, 2715, 195, {29, 31}, true, QT_TRANSLATE_NOOP("ControlDesign", "status")},
}};

const std::array<FrameDesign, 2> frameDesign = {{
    {"Frame1", "COM1", 120,   60, 4215, 3315, 0},
    {"Frame2", "COM2", 120, 3480, 4215, 3315, 8},
}};
// clang-format on
