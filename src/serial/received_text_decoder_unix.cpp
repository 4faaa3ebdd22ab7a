// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/received_text_decoder.h"

// What Send encodes with: Qt takes the system's 8-bit encoding to be UTF-8 here.
int ReceivedTextDecoder::systemCharacter(const char *bytes, qsizetype size, char32_t &codePoint)
{
    return utf8Character(bytes, size, codePoint);
}
