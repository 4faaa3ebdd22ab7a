// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QByteArray>
#include <QString>

// Turns received bytes into text without losing or merging any of them. Text in the system's
// 8-bit encoding (UTF-8, or on Windows its ANSI code page) shows as the characters it encodes,
// even when a character's bytes arrive in two reads. A control byte that a text box cannot show
// appears as its Unicode control picture ("␀" for 0x00, "␛" for 0x1B, "␡" for 0x7F); tab, line
// feed and carriage return stay themselves. Every other byte that is not part of a well-formed
// character, and the bytes of a C1 control character, of a received control picture and of a
// character that a text box would take for a break (U+2028, U+2029, U+FDD0, U+FDD1) or would show
// as nothing (the format characters, Unicode category Cf), appear as "\xHH"; a backslash appears
// doubled, so that each can be told apart.
class ReceivedTextDecoder
{
public:
    // The text of these bytes, following those of earlier calls. An incomplete character at the
    // end waits for the next call, unless final says that no more bytes will come.
    QString decode(const QByteArray &bytes, bool final = false);
    void reset() { m_pending.clear(); }

    // The character the bytes start with: its length, with its code point; 0 when the first
    // byte starts no character, -1 when the bytes end before the character does.
    static int utf8Character(const char *bytes, qsizetype size, char32_t &codePoint);

private:
    // The same in the system's 8-bit encoding: UTF-8, or on Windows its ANSI code page.
    static int systemCharacter(const char *bytes, qsizetype size, char32_t &codePoint);

    QByteArray m_pending;
};
