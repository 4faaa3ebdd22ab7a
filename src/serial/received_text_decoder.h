// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QByteArray>
#include <QString>

// Turns received bytes into text without losing or merging any of them. UTF-8 shows as the
// characters it encodes, even when a character's bytes arrive in two reads. A control byte that a
// text box cannot show appears as its Unicode control picture ("␀" for 0x00, "␛" for 0x1B, "␡"
// for 0x7F); tab, line feed and carriage return stay themselves. Every other byte that is not
// part of well-formed UTF-8, and the bytes of a C1 control character or of a received control
// picture, appear as "\xHH"; a backslash appears doubled, so that each can be told apart.
class ReceivedTextDecoder
{
public:
    // The text of these bytes, following those of earlier calls. An incomplete character at the
    // end waits for the next call, unless final says that no more bytes will come.
    QString decode(const QByteArray &bytes, bool final = false);
    void reset() { m_pending.clear(); }

private:
    QByteArray m_pending;
};
