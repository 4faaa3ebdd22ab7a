// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/received_text_decoder.h"

namespace {

// How long the UTF-8 sequence is that a byte starts, and the range its second byte must lie in
// (Unicode's table of well-formed sequences); length 0 for a byte that starts none.
struct Lead
{
    int length;
    uchar low;
    uchar high;
};

Lead leadOf(uchar byte)
{
    if (byte >= 0xC2 && byte <= 0xDF)
        return {2, 0x80, 0xBF};
    if (byte == 0xE0)
        return {3, 0xA0, 0xBF}; // no overlong forms
    if (byte == 0xED)
        return {3, 0x80, 0x9F}; // no surrogates
    if (byte >= 0xE1 && byte <= 0xEF)
        return {3, 0x80, 0xBF};
    if (byte == 0xF0)
        return {4, 0x90, 0xBF};
    if (byte >= 0xF1 && byte <= 0xF3)
        return {4, 0x80, 0xBF};
    if (byte == 0xF4)
        return {4, 0x80, 0x8F}; // nothing above U+10FFFF
    return {0, 0, 0};
}

// Printable ASCII and the line ends: most of what arrives, shown as it is. The backslash is not
// among them: it starts the \xHH of a byte, so it is shown doubled.
bool isPlain(uchar byte)
{
    return (byte >= 0x20 && byte < 0x7F && byte != '\\') || byte == '\t' || byte == '\n'
        || byte == '\r';
}

// Characters shown by their bytes instead: the C1 controls, which a text box shows as nothing;
// the control pictures, which in the box stand for control bytes; the line and paragraph
// separators and the two noncharacters that Qt's text document takes for breaks, which would
// pass for a received line end; and the format characters (zero-width spaces and joiners,
// direction marks and overrides, the byte order mark, the soft hyphen...), which show as nothing
// or change how the rest of the line shows.
bool showsAsBytes(char32_t codePoint)
{
    return codePoint < 0xA0 || (codePoint >= 0x2400 && codePoint <= 0x241F) || codePoint == 0x2421
        || codePoint == 0x2028 || codePoint == 0x2029 || codePoint == 0xFDD0 || codePoint == 0xFDD1
        || QChar::category(codePoint) == QChar::Other_Format;
}

// A byte that is not shown as itself: a control picture, \xHH, or the doubled backslash.
void appendByte(QString &text, uchar byte)
{
    if (byte == '\\')
        text += QLatin1String("\\\\");
    else if (byte < 0x20)
        text += QChar(0x2400 + byte);
    else if (byte == 0x7F)
        text += QChar(0x2421);
    else
        text += QLatin1String("\\x") + QString::number(byte, 16).toUpper();
}

} // namespace

QString ReceivedTextDecoder::decode(const QByteArray &bytes, bool final)
{
    const QByteArray data = m_pending + bytes;
    m_pending.clear();
    QString text;
    text.reserve(data.size());

    qsizetype i = 0;
    while (i < data.size()) {
        qsizetype plainEnd = i;
        while (plainEnd < data.size() && isPlain(uchar(data[plainEnd])))
            ++plainEnd;
        if (plainEnd > i) {
            text += QLatin1String(data.constData() + i, plainEnd - i);
            i = plainEnd;
            continue;
        }

        const uchar first = uchar(data[i]);
        char32_t codePoint = 0;
        const int length = systemCharacter(data.constData() + i, data.size() - i, codePoint);
        if (length < 0 && !final) {
            m_pending = data.mid(i); // the rest of the character is still on its way
            break;
        }
        if (length <= 0) {
            appendByte(text, first); // no character: this byte alone, then go on with the next
            ++i;
            continue;
        }
        if (showsAsBytes(codePoint)) {
            for (int k = 0; k < length; ++k)
                appendByte(text, uchar(data[i + k]));
        } else {
            text += QChar::fromUcs4(codePoint);
        }
        i += length;
    }
    return text;
}

int ReceivedTextDecoder::utf8Character(const char *bytes, qsizetype size, char32_t &codePoint)
{
    const uchar first = uchar(bytes[0]);
    const Lead lead = leadOf(first);
    if (lead.length == 0)
        return 0;
    int length = 1;
    while (length < lead.length && length < size) {
        const uchar next = uchar(bytes[length]);
        if (next < (length == 1 ? lead.low : 0x80) || next > (length == 1 ? lead.high : 0xBF))
            return 0;
        ++length;
    }
    if (length < lead.length)
        return -1;
    codePoint = first & (0x7F >> length);
    for (int k = 1; k < length; ++k)
        codePoint = (codePoint << 6) | (uchar(bytes[k]) & 0x3F);
    return length;
}
