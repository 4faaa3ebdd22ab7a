// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/received_text_decoder.h"

#include <QList>
#include <QString>
#include <qt_windows.h>

// What Send encodes with: the ANSI code page, 936 on a Chinese Windows, 1252 on a Western one.
// Its characters are one byte, or a lead byte and a trail byte; a code page of UTF-8 is read as
// UTF-8 is everywhere else.
int ReceivedTextDecoder::systemCharacter(const char *bytes, qsizetype size, char32_t &codePoint)
{
    static const UINT codePage = GetACP();
    if (codePage == CP_UTF8)
        return utf8Character(bytes, size, codePoint);

    const int length = IsDBCSLeadByteEx(codePage, BYTE(bytes[0])) ? 2 : 1;
    if (size < length)
        return -1;
    wchar_t units[2];
    const int count = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes, length, units, 2);
    if (count <= 0)
        return 0; // a byte the code page has no character for
    const QList<uint> characters = QString::fromWCharArray(units, count).toUcs4();
    if (characters.size() != 1)
        return 0;
    codePoint = characters.first();
    return length;
}
